"""Objects made by __new__ without their constructor have nothing behind
them: every method and property raises a RuntimeError that says how to make
one, and none crashes, hangs or reads garbage."""

import pytest

import orvane


def members(cls):
    return sorted(name for name, value in vars(cls).items()
                  if not name.startswith("__") and (callable(value) or isinstance(value, property)))


def use(obj, name):
    value = getattr(type(obj), name)
    if isinstance(value, property):
        return getattr(obj, name)
    if name == "neighbours":
        return obj.neighbours(1)
    if name == "svg":
        return obj.svg(10, 10)
    if name == "records":
        return list(obj.records())
    return getattr(obj, name)()


CLASSES = [
    (orvane.Map, "this Map was not built: use orvane.Map"),
    (orvane.Colouring, r"this Colouring was not made by a map: use orvane\.Map\(seed, nodes\)\.colouring\(\)"),
    (orvane.TraceRecord, "this TraceRecord was not made by a step"),
]


@pytest.mark.parametrize("cls,words", CLASSES)
def test_every_member_of_an_unbuilt_object_raises(cls, words):
    names = [n for n in members(cls) if n not in ("from_sites", "from_networkx")]
    assert len(names) >= 10
    for name in names + ["__repr__", "__str__"]:
        obj = cls.__new__(cls)
        with pytest.raises(RuntimeError, match=words):
            if name == "__repr__":
                repr(obj)
            elif name == "__str__":
                str(obj)
            else:
                use(obj, name)
        del obj


def test_unbuilt_objects_in_the_places_built_ones_go():
    unbuilt = orvane.TraceRecord.__new__(orvane.TraceRecord)
    record = orvane.Map(1, 10).colouring().step()
    with pytest.raises(RuntimeError, match="not made by a step"):
        record == unbuilt  # noqa: B015
    with pytest.raises(RuntimeError, match="not made by a step"):
        hash(unbuilt)
    with pytest.raises(RuntimeError, match="not built"):
        orvane.write_sites("unused.sites", orvane.Map.__new__(orvane.Map))
    with pytest.raises(TypeError, match="expected orvane.Map"):
        orvane.Map.colours.fget(record)
