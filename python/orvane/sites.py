"""Maps from sites of your own: an array of points, real coordinates scaled
into the map's square, or a networkx graph with positions.

The k-th point is country k and the k-th site inserted into the
triangulation, exactly as a seeded map numbers the sites it scatters; so
``Map.from_sites(Map(seed, n).positions)`` is the map of (seed, n) again, with
the same export file and the same colouring step by step.
"""

from __future__ import annotations

import numpy as np

from . import _orvane

_SIDE = 32767  # coordinates run from 0 to 32767 on both axes


def _shown(v):
    """A coordinate as the library's messages show it."""
    return repr(int(v)) if float(v).is_integer() else repr(float(v))


def _point_array(points):
    """points as an (N, 2) numpy array (a list of pairs, an array, ...)."""
    array = np.asarray(points)
    if array.size == 0:
        array = array.reshape(0, 2).astype(np.int64)
    if array.dtype == bool or not (np.issubdtype(array.dtype, np.integer) or np.issubdtype(array.dtype, np.floating)):
        raise TypeError(f"points must be numbers (an array of shape (N, 2) or a list of (x, y) pairs), "
                        f"not {array.dtype}")
    if array.ndim != 2 or array.shape[1] != 2:
        raise ValueError(f"points must have shape (N, 2), not {array.shape}")
    return array


def _whole_sites(array, name):
    """Whole-number points as int32, for the library to check."""
    if np.issubdtype(array.dtype, np.floating):
        bad = ~np.isfinite(array).all(axis=1) | (array != np.round(array)).any(axis=1)
        if bad.any():
            i = int(np.argmax(bad))
            raise ValueError(f"{name(i)} ({_shown(array[i, 0])}, {_shown(array[i, 1])}) is not a pair of whole "
                             "numbers; pass fit=True to scale real coordinates into the map's square")
    # Beyond 32 bits a coordinate is outside the square anyway; the library
    # names the first site outside it, so such values are only clipped to a
    # value that is outside as well, where the count alone decides nothing.
    wide = array.astype(np.float64)
    if ((wide < -2**31) | (wide > 2**31 - 1)).any():
        outside = ((wide < 0) | (wide > _SIDE)).any(axis=1)
        if 3 <= len(array) <= 10000:
            i = int(np.argmax(outside))
            raise ValueError(f"{name(i)} ({_shown(array[i, 0])}, {_shown(array[i, 1])}) lies outside the map's "
                             f"square: coordinates run from 0 to {_SIDE}")
        wide = np.clip(wide, -1, _SIDE + 1)
    return np.ascontiguousarray(wide, dtype=np.int32)


def _fitted_sites(array, name):
    """Real points scaled into the square, keeping the aspect ratio (centred
    along the shorter side) and rounded to whole numbers; an error when the
    rounding merges points that differ."""
    real = array.astype(np.float64)
    if len(real) == 0:
        return np.zeros((0, 2), dtype=np.int32)
    finite = np.isfinite(real).all(axis=1)
    if not finite.all():
        i = int(np.argmin(finite))
        raise ValueError(f"{name(i)} ({real[i, 0]!r}, {real[i, 1]!r}) is not a finite point")
    low = real.min(axis=0)
    extent = real.max(axis=0) - low
    span = float(extent.max())
    scale = _SIDE / span if span > 0 else 0.0
    offset = (_SIDE - extent * scale) / 2
    sites = np.floor((real - low) * scale + offset + 0.5).astype(np.int64)
    sites = np.clip(sites, 0, _SIDE).astype(np.int32)
    # Points that differ but round to one site.
    _, first, inverse = np.unique(sites, axis=0, return_index=True, return_inverse=True)
    inverse = np.asarray(inverse).reshape(-1)
    for i in range(len(sites)):
        j = int(first[inverse[i]])
        if j != i and not np.array_equal(real[i], real[j]):
            raise ValueError(
                f"rounding to the map's grid merges {name(j)} ({real[j, 0]!r}, {real[j, 1]!r}) and {name(i)} "
                f"({real[i, 0]!r}, {real[i, 1]!r}) into one site ({sites[i, 0]}, {sites[i, 1]}): the points lie "
                f"closer than 1/{_SIDE} of their spread; drop or move one of them")
    return sites


def map_from_sites(points, fit: bool = False, *, names=None):
    """The map of your own sites. See Map.from_sites."""
    label = (lambda i: names[i]) if names is not None else (lambda i: f"points[{i}]")
    array = _point_array(points)
    if not isinstance(fit, bool):
        raise TypeError("fit must be True or False")
    sites = _fitted_sites(array, label) if fit else _whole_sites(array, label)
    return _orvane._map_from_sites(sites, None if names is None else [str(n) for n in names])


def from_sites(points, fit: bool = False):
    """Map.from_sites(points, fit=False)

    The map of your own sites instead of seeded ones: the Delaunay
    triangulation of the points, its neighbour order and its outer boundary,
    built exactly as a seeded map is built. The k-th point is country k (row
    k-1 of ``positions``), so ``Map.from_sites(Map(seed, n).positions)``
    gives the map of (seed, n) again: the same export file, the same trace.

    points
        An (N, 2) array or a list of (x, y) pairs. Without fit, whole numbers
        from 0 to 32767 (y grows downwards, as on the screen).
    fit
        True scales any real coordinates into the square 0..32767, keeping the
        aspect ratio (the shorter side centred), and rounds them. Points that
        differ but round to the same site raise ValueError; nothing is merged
        silently.

    Sites that give no map raise ValueError naming the points concerned:
    fewer than 3 or more than 10000, a coordinate outside the square, a point
    given twice, all points on one line, or points whose directions seen from
    a neighbour are too close for the map's angle order to tell apart.
    """
    return map_from_sites(points, fit)


def from_networkx(graph, pos="pos", flip_y: bool = True):
    """Map.from_networkx(graph, pos="pos", flip_y=True)

    The map of a networkx graph's node positions: the k-th node of
    ``graph.nodes`` is country k. The positions are scaled into the square as
    ``from_sites(..., fit=True)`` scales them; the graph's own edges play no
    part (the map's borders are the positions' triangulation).

    pos
        The name of the node attribute that holds each node's (x, y), or a
        dict from node to (x, y) such as networkx's layouts return.
    flip_y
        networkx draws y upwards, the map downwards: True (the default) turns
        the positions over, so the map looks as networkx draws the graph.

    Errors name the nodes concerned (by repr).
    """
    nodes = list(graph.nodes)
    points = []
    for node in nodes:
        at = pos.get(node) if isinstance(pos, dict) else graph.nodes[node].get(pos)
        if at is None:
            where = "in the pos dict" if isinstance(pos, dict) else f"as its {pos!r} attribute"
            raise ValueError(f"node {node!r} has no position {where}")
        x, y = at[0], at[1]
        points.append((x, -y if flip_y else y))
    return map_from_sites(np.array(points, dtype=np.float64).reshape(-1, 2), True,
                          names=[f"node {n!r}" for n in nodes])
