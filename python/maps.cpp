// orvane.Map: a map built once from (seed, nodes) or from given sites, read
// from any thread, and shown as its newest colouring leaves it.
#include <cstdio>

#include <pybind11/stl.h>

#include "module.h"

namespace orvane::python {

void MapBox::takeSnapshot()
{
    const int n = map->nodeCount();
    xy.assign(static_cast<size_t>(2 * n), 0);
    rings.assign(static_cast<size_t>(n), {});
    for (int k = 1; k <= n; ++k) {
        const Point p = map->position(k);
        xy[static_cast<size_t>(2 * (k - 1))] = p.x;
        xy[static_cast<size_t>(2 * (k - 1) + 1)] = p.y;
        rings[static_cast<size_t>(k - 1)] = map->neighbours(k);
    }
    borders = map->borders();
    outer = map->outerCycle();
}

std::shared_ptr<ColouringState> MapBox::shown() const
{
    std::lock_guard<std::mutex> guard(shownMutex_);
    return shown_;
}

std::shared_ptr<ColouringState> MapBox::show(std::shared_ptr<ColouringState> state)
{
    std::lock_guard<std::mutex> guard(shownMutex_);
    shown_.swap(state);
    return state;
}

std::string mapRepr(const MapBox& box)
{
    if (!box.sites.empty()) return "orvane.Map.from_sites(<" + std::to_string(box.nodes) + " sites>)";
    char buf[64];
    std::snprintf(buf, sizeof buf, "orvane.Map(0x%08x, %d)", static_cast<unsigned>(box.seed), box.nodes);
    return buf;
}

py::array_t<int8_t> int8Array(const std::vector<int8_t>& v)
{
    py::array_t<int8_t> a(static_cast<py::ssize_t>(v.size()));
    std::copy(v.begin(), v.end(), a.mutable_data());
    return a;
}

std::vector<int8_t> coloursByNumber(const Colouring& colouring)
{
    const int n = colouring.map().nodeCount();
    std::vector<int8_t> out(static_cast<size_t>(n), 0);
    for (int k = 1; k <= n; ++k) out[static_cast<size_t>(k - 1)] = colouring.colourOf(k);
    return out;
}

namespace {

// Builds with the GIL let go: the build touches no Python object.
std::shared_ptr<MapBox> makeMap(py::handle seed, py::handle nodes)
{
    auto box = std::make_shared<MapBox>();
    box->seed = seedArgument(seed);
    box->nodes = countArgument(nodes, "nodes", leastNodes, mostNodes);
    {
        py::gil_scoped_release released;
        box->map = Map::build(box->seed, box->nodes);
        box->takeSnapshot();
    }
    return box;
}

// Map.from_sites: the map of an (N, 2) int32 array of sites, the k-th row
// country k; a ValueError with the library's message, naming the sites by
// `names` (one text a row) or as points[i], when they give no map.
std::shared_ptr<MapBox> mapFromSites(py::handle points, py::object names)
{
    const auto shape = [&](const py::array& a) {
        return a.dtype().is(py::dtype::of<int32_t>()) && a.ndim() == 2 && a.shape(1) == 2;
    };
    if (!py::isinstance<py::array>(points) || !shape(py::reinterpret_borrow<py::array>(points)))
        throw py::type_error("points must be an int32 array of shape (N, 2)");
    const auto rows = py::array_t<int32_t, py::array::c_style | py::array::forcecast>::ensure(points);
    auto box = std::make_shared<MapBox>();
    for (py::ssize_t i = 0; i < rows.shape(0); ++i) box->sites.push_back({rows.at(i, 0), rows.at(i, 1)});
    box->nodes = static_cast<int32_t>(box->sites.size());
    std::vector<std::string> named;
    if (!names.is_none())
        for (py::handle name : names) named.push_back(displayText(name));
    SiteProblem problem;
    {
        py::gil_scoped_release released;
        problem = buildMapFromSites(box->map, box->sites);
        if (!problem) box->takeSnapshot();
    }
    if (problem) {
        const auto name = [&](int i) {
            return static_cast<size_t>(i) < named.size() ? named[size_t(i)] : "points[" + std::to_string(i) + "]";
        };
        throw py::value_error(describeSiteProblem(problem, box->sites, name));
    }
    return box;
}

py::array_t<int32_t> pairArray(const std::vector<int32_t>& flat)
{
    const py::ssize_t rows = static_cast<py::ssize_t>(flat.size() / 2);
    py::array_t<int32_t> a({rows, py::ssize_t{2}});
    std::copy(flat.begin(), flat.end(), a.mutable_data());
    return a;
}

py::array_t<int32_t> bordersArray(const MapBox& box)
{
    std::vector<int32_t> flat;
    flat.reserve(2 * box.borders.size());
    for (const auto& [a, b] : box.borders) {
        flat.push_back(a);
        flat.push_back(b);
    }
    return pairArray(flat);
}

// What the map shows as it stands: read from its newest colouring under that
// colouring's mutex, or from the map as built before the first colouring.
// `shown` goes out of scope with the GIL held, after the mutex is let go.
template <typename FromColouring, typename FromMap>
auto asItStands(const MapBox& box, FromColouring fromColouring, FromMap fromMap)
{
    const std::shared_ptr<ColouringState> shown = box.shown();
    if (!shown) {
        py::gil_scoped_release released;
        return fromMap(*box.map);
    }
    return withColouring(*shown, [&] { return fromColouring(*shown->colouring); });
}

std::vector<int8_t> mapColours(const MapBox& box)
{
    return asItStands(box, [](const Colouring& c) { return coloursByNumber(c); },
                      [](const Map& map) { return std::vector<int8_t>(static_cast<size_t>(map.nodeCount()), 0); });
}

std::string mapExportText(const MapBox& box)
{
    return asItStands(box, [](const Colouring& c) { return exportText(c); }, [](const Map& map) { return exportText(map); });
}

std::string mapExportContent(const MapBox& box)
{
    return asItStands(box, [](const Colouring& c) { return exportContent(c); },
                      [](const Map& map) { return exportContent(map); });
}

std::string mapSvg(const MapBox& box, ViewSize size)
{
    return asItStands(box, [&](const Colouring& c) { return mapPageSvg(c, size, EngineMarks::hidden); },
                      [&](const Map& map) { return mapPageSvg(map, size); });
}

}  // namespace

void bindMap(py::module_& m, py::class_<MapBox, std::shared_ptr<MapBox>>& mapClass)
{
    mapClass.doc() = R"doc(
Map(seed, nodes)

The random map of (seed, nodes), built exactly as the program and the
companion orvane-cli build it: a Delaunay triangulation of seeded sites,
every site a country numbered 1..N and every edge a border.

seed
    An int from 0 to 0xffffffff, or its hexadecimal text as the seed field
    reads it ('1a2b', '0x1A2B'); None takes the millisecond clock, as an
    empty seed field does. Other values raise TypeError or ValueError.
nodes
    The node count. Like the node count field it is clamped to 3..10000:
    Map(1, 2) has 3 nodes, Map(1, 50000) has 10000. It must be an int.

positions, borders, neighbours() and outer describe the map as built;
colours, export_text() and the picture show it as it stands: as its newest
colouring leaves it, or uncoloured before the first.
Map.from_sites(points) builds the map of sites of your own instead.
A map never changes once built: any thread may read it.
)doc";
    mapClass
        .def(py::init([](py::object seed, py::object nodes) { return makeMap(seed, nodes); }), py::arg("seed"),
             py::arg("nodes"))
        .def_property_readonly(
            "seed",
            [](py::handle self) {
                const MapBox& b = mapOf(self);
                return b.sites.empty() ? py::object(py::int_(b.seed)) : py::object(py::none());
            },
            "The seed (an int); None for a map from given sites.")
        .def_property_readonly("nodes", [](py::handle self) { return mapOf(self).nodes; },
                               "The node count N after clamping to 3..10000.")
        .def_property_readonly("positions", [](py::handle self) { return pairArray(mapOf(self).xy); },
                               "Node coordinates (0..32767) as an int32 array of shape (N, 2); row k-1 is node k.")
        .def_property_readonly("borders", [](py::handle self) { return bordersArray(mapOf(self)); },
                               "Every border once as an int32 array of node pairs (lower number first), sorted.")
        .def_property_readonly("outer", [](py::handle self) { return mapOf(self).outer; },
                               "The nodes of the outer boundary in cycle order, as a list.")
        .def(
            "neighbours",
            [](py::handle self, py::object number) {
                const MapBox& b = mapOf(self);
                const int64_t k = saturatedInteger(number, "node number");
                if (k < 1 || k > b.nodes)
                    throw py::index_error("node " + std::string(py::repr(number)) + " is outside 1.." +
                                          std::to_string(b.nodes));
                return b.rings[static_cast<size_t>(k - 1)];
            },
            py::arg("node"), "The neighbours of node (1..N) in ring order, as a list of node numbers.")
        .def_property_readonly(
            "colours", [](py::handle self) { return int8Array(mapColours(mapOf(self))); },
            "The colour of every node as it stands: an int8 array, entry k-1 for node k; 0 none, 1..4 the colours "
            "R, G, Y, B, 5 the blocked candidate.")
        .def(
            "export_text", [](py::handle self) { return mapExportText(mapOf(self)); },
            "The export file of the map as it stands, as text with LF line ends.")
        .def(
            "export_bytes", [](py::handle self) { return py::bytes(mapExportContent(mapOf(self))); },
            "The export file's bytes as the program writes it: UTF-16LE with byte-order mark, CR LF line ends.")
        .def(
            "svg",
            [](py::handle self, py::object width, py::object height) {
                const MapBox& b = mapOf(self);
                return mapSvg(b, viewSizeArgument(width, height));
            },
            py::arg("width") = 600, py::arg("height") = 600,
            "The map page as the view paints it (without a colouring's ring and path), as SVG text.")
        .def("_repr_svg_", [](py::handle self) { return mapSvg(mapOf(self), {600, 600}); })
        .def(
            "colouring",
            [](py::handle self, py::object clock) { return makeColouring(sharedMapOf(self), std::move(clock)); },
            py::arg("clock") = py::none(), py::keep_alive<0, 1>(), R"doc(
A new colouring of this map, from the map as built.

Any number of colourings of one map may be used, each on its own and on any
thread; the newest is the one the map's colours, export and picture show.

clock
    None for the steady clock, or a callable returning milliseconds (an int,
    taken modulo 2**32). run() stops growing after 10000 ms by this clock, as
    the program does; tests pass a fake clock. An exception from the clock is
    raised after the step in progress ends. A step with a Python clock keeps
    the interpreter lock while it works.
)doc")
        .def("__repr__", [](py::handle self) { return mapRepr(mapOf(self)); });

    m.def("_map_from_sites", &mapFromSites, py::arg("points"), py::arg("names") = py::none(),
          "The map of an (N, 2) int32 array of sites (see orvane.Map.from_sites).");
}

}  // namespace orvane::python
