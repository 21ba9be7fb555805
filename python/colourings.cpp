// orvane.Colouring: one colouring of one map, with its own state and mutex,
// stepped or run from any thread.
#include <pybind11/stl.h>

#include "module.h"

namespace orvane::python {

namespace {

constexpr const char* unbuiltColouring = "this Colouring was not made by a map: use orvane.Map(seed, nodes).colouring()";

PyColouring& colouringOf(py::handle self) { return builtObject<PyColouring>(self, unbuiltColouring); }

// f(colouring) under the colouring's mutex, the GIL let go.
template <typename F>
auto readColouring(py::handle self, F&& f)
{
    ColouringState& s = *colouringOf(self).state;
    return withColouring(s, [&] { return f(*s.colouring); });
}

// A walk along one of the engine's cycles or paths, bounded by the node count.
template <typename Next>
std::vector<int> walk(const Map& map, NodeIndex from, NodeIndex until, Next next)
{
    std::vector<int> out;
    for (NodeIndex n = from; n != noNode && out.size() <= static_cast<size_t>(map.nodeCount()); n = next(n)) {
        out.push_back(map.number(n));
        if (n == until) break;
        if (next(n) == from) break;
    }
    return out;
}

std::vector<int> ringOf(const Colouring& c)
{
    return walk(c.map(), c.state().ringEntry, noNode, [&](NodeIndex n) { return c.ringNext(n); });
}

std::vector<int> arcOf(const Colouring& c)
{
    const EngineState& s = c.state();
    if (s.arcFirst == noNode || s.arcLast == noNode) return {};
    return walk(c.map(), s.arcLast, s.arcFirst, [&](NodeIndex n) { return c.ringNext(n); });
}

std::vector<int> pathOf(const Colouring& c)
{
    const EngineState& s = c.state();
    return walk(c.map(), s.pathTail, s.pathHead, [&](NodeIndex n) { return c.pathPrev(n); });
}

}  // namespace

std::unique_ptr<PyColouring> makeColouring(const std::shared_ptr<MapBox>& box, py::object clockFunction)
{
    if (!clockFunction.is_none() && !PyCallable_Check(clockFunction.ptr()))
        throw py::type_error("clock must be a callable returning milliseconds, not " + typeName(clockFunction));
    auto state = std::make_shared<ColouringState>();
    Clock clock = steadyClock();
    if (!clockFunction.is_none()) {
        state->clock = std::make_unique<PythonClock>(std::move(clockFunction));
        clock = [reader = state->clock.get()] { return reader->read(); };
    }
    // Every colouring starts from the map as built.
    state->colouring = std::make_unique<Colouring>(box->map, std::move(clock));
    auto c = std::make_unique<PyColouring>();
    c->box = box;
    c->state = state;
    // The newest shows the map as it stands; the one it replaces (and a
    // Python clock with it) may go here, with the GIL held.
    std::shared_ptr<ColouringState> replaced = box->show(std::move(state));
    return c;
}

void bindColouring(py::class_<PyColouring>& colouringClass)
{
    colouringClass.doc() = R"doc(
One colouring of one map, stepped one visible phase at a time (step()) or run
to the end (run()), as the step and full colouring buttons do. Make one with
Map.colouring(). It keeps its map alive.
)doc";
    colouringClass
        .def(
            "step", [](py::handle self) { return stepRecord(*colouringOf(self).state, false); },
            "One step (one visible phase); returns its TraceRecord. Raises ColouringFinishedError once finished.")
        .def(
            "run", [](py::handle self) { return stepRecord(*colouringOf(self).state, true).result; },
            "Runs to the end under the 10-second limit and returns the result: 0 for a correct four-colouring, else "
            "the number of the first node that failed verification. Raises ColouringFinishedError once finished.")
        .def_property_readonly(
            "finished", [](py::handle self) { return readColouring(self, [](const Colouring& c) { return c.finished(); }); },
            "True once the colouring is over.")
        .def_property_readonly(
            "phase",
            [](py::handle self) {
                return readColouring(self, [](const Colouring& c) { return static_cast<int>(c.phase()); });
            },
            "The phase to run next (see orvane.Phase); 255 once finished.")
        .def_property_readonly(
            "steps",
            [](py::handle self) {
                ColouringState& s = *colouringOf(self).state;
                return withColouring(s, [&] { return s.steps; });
            },
            "Calls of step() and run() so far (since the last clear()).")
        .def_property_readonly(
            "result",
            [](py::handle self) {
                ColouringState& s = *colouringOf(self).state;
                const int r = withColouring(s, [&] { return s.result; });
                return r < 0 ? py::object(py::none()) : py::object(py::int_(r));
            },
            "The verification result once finished (0: correct), else None.")
        .def_property_readonly(
            "colours",
            [](py::handle self) {
                return int8Array(readColouring(self, [](const Colouring& c) { return coloursByNumber(c); }));
            },
            "The colour of every node now: an int8 array, entry k-1 for node k; 0 none, 1..4 R, G, Y, B, 5 blocked.")
        .def_property_readonly(
            "ring", [](py::handle self) { return readColouring(self, ringOf); },
            "The ring of coloured nodes from the ring entry along the ring, as node numbers (empty when none).")
        .def_property_readonly(
            "arc", [](py::handle self) { return readColouring(self, arcOf); },
            "The candidate's contact arc: the ring from its last to its first node (empty when none).")
        .def_property_readonly(
            "path", [](py::handle self) { return readColouring(self, pathOf); },
            "The conflict path from its tail back to its head, as node numbers (empty when none).")
        .def_property_readonly(
            "pivot",
            [](py::handle self) {
                return readColouring(self, [](const Colouring& c) {
                    const NodeIndex pivot = c.state().pivot;
                    return pivot == noNode ? 0 : c.map().number(pivot);
                });
            },
            "The pivot's node number, 0 when none.")
        .def(
            "verify",
            [](py::handle self) { return readColouring(self, [](const Colouring& c) { return static_cast<int>(c.verify()); }); },
            "The verification rules over the map as it stands: 0, or the first node that fails them.")
        .def(
            "clear",
            [](py::handle self) {
                ColouringState& s = *colouringOf(self).state;
                withColouring(s, [&] {
                    s.colouring->clear();
                    s.steps = 0;
                    s.result = -1;
                    return 0;
                });
            },
            "Clears the colouring as the clear button does: colours removed, set-aside nodes restored, phase 0.")
        .def(
            "svg",
            [](py::handle self, py::object width, py::object height) {
                const ViewSize size = viewSizeArgument(width, height);
                return readColouring(self, [&](const Colouring& c) { return mapPageSvg(c, size); });
            },
            py::arg("width") = 600, py::arg("height") = 600,
            "The map page with the ring, contact arc, conflict path, pivot and cursor, as SVG text.")
        .def("_repr_svg_",
             [](py::handle self) {
                 return readColouring(self, [](const Colouring& c) { return mapPageSvg(c, {600, 600}); });
             })
        .def_property_readonly("map", [](py::handle self) { return colouringOf(self).box; }, "The map being coloured.")
        .def("__repr__", [](py::handle self) {
            const PyColouring& c = colouringOf(self);
            const long steps = withColouring(*c.state, [&] { return c.state->steps; });
            return "<orvane.Colouring of " + mapRepr(*c.box) + ", " + std::to_string(steps) + " steps>";
        });
}

}  // namespace orvane::python
