// What the source files of the Python module share: argument coercion, the
// locks around colourings, the map and colouring objects and the binders that
// module.cpp calls. Internal to python/.
//
// Locking, in one fixed order: the interpreter lock (GIL) first, then at most
// one colouring's mutex that a thread waits for. Rules:
//   - a thread never waits for a colouring's mutex while it holds the GIL:
//     it lets the GIL go first, or only tries the mutex;
//   - work done under a colouring's mutex with the GIL let go touches no Python
//     object (no reference count, buffer or destructor);
//   - a step whose clock is written in Python keeps the GIL for the whole step,
//     so the clock never waits for it while the step holds the mutex;
//   - a thread that holds a colouring's mutex (a Python clock inside a step
//     calling back into the module) never waits for another one: it takes a
//     free mutex or is refused with RuntimeError.
// A map is read-only once built and needs no mutex; the small one that guards
// which colouring it shows is held only to copy or swap that pointer.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "include/orvane/orvane.h"

namespace orvane::python {

namespace py = pybind11;

// ---------------------------------------------------------------------------
// Arguments (arguments.cpp)

bool isIntegral(py::handle h);
std::string typeName(py::handle h);
// Whole number -> int64 saturated at the ends; TypeError for anything else.
int64_t saturatedInteger(py::handle h, const char* what);
// An int 0..0xffffffff or its hexadecimal text; None reads the clock.
uint32_t seedArgument(py::handle h);
// A count clamped as the count fields clamp it.
int32_t countArgument(py::handle h, const char* what, int32_t least, int32_t most);
// A whole number that must lie in least..most.
int32_t rangeArgument(py::handle h, const char* what, int32_t least, int32_t most);
ViewSize viewSizeArgument(py::handle width, py::handle height);
int32_t jobsArgument(py::handle jobs);
int32_t clockStepArgument(py::handle step);
// A folder given as str, bytes or os.PathLike, as UTF-8 (the library's file
// names are Unicode text): ValueError for an empty name, a NUL or bytes that
// are not UTF-8; TypeError for anything else.
std::string folderArgument(py::handle folder, const char* what);
// Any str as UTF-8, with what UTF-8 cannot hold written as backslash escapes.
std::string displayText(py::handle text);

[[noreturn]] void throwPython(PyObject* type, const std::string& message);

// The C++ object behind a bound Python object. An object made by __new__
// without its constructor has none: RuntimeError `message`.
template <typename T>
py::detail::value_and_holder builtInstance(py::handle self, const char* message)
{
    if (!py::isinstance<T>(self))
        throw py::type_error(std::string("expected ") + py::detail::get_type_info(typeid(T))->type->tp_name +
                             ", not " + typeName(self));
    auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
    py::detail::value_and_holder vh = instance->get_value_and_holder(py::detail::get_type_info(typeid(T)));
    if (!vh.holder_constructed()) throw std::runtime_error(message);
    return vh;
}

template <typename T>
T& builtObject(py::handle self, const char* message)
{
    return *builtInstance<T>(self, message).template value_ptr<T>();
}

// ---------------------------------------------------------------------------
// Clocks and locking (locking.cpp)

// A clock written in Python, read with the interpreter lock held by the step
// that reads it. Its errors wait until that step is over: the engine is never
// left half-way through a phase.
class PythonClock {
public:
    explicit PythonClock(py::object function) : function_(std::move(function)) {}
    uint32_t read();
    // The error a reading met, if any, taken out of the clock.
    std::unique_ptr<py::error_already_set> takeError() { return std::move(error_); }

private:
    py::object function_;
    std::unique_ptr<py::error_already_set> error_;
    uint32_t last_ = 0;
};

// One colouring and what Python counts of it, guarded by its own mutex.
// Whoever drops the last reference to it must hold the GIL (a Python clock
// goes with it).
struct ColouringState {
    std::mutex mutex;
    std::unique_ptr<PythonClock> clock;    // null: the steady clock
    std::unique_ptr<Colouring> colouring;  // after the clock: it reads it
    long steps = 0;
    int result = -1;  // the verification result once verified
};

// Holds a colouring's mutex for this thread (see the rules above). Made with
// the GIL held; `keepInterpreter` false lets the GIL go for the time held.
class HeldColouring {
public:
    HeldColouring(ColouringState& state, bool keepInterpreter);
    ~HeldColouring();
    HeldColouring(const HeldColouring&) = delete;
    HeldColouring& operator=(const HeldColouring&) = delete;

private:
    ColouringState& state_;
    PyThreadState* released_ = nullptr;
};

// f() with the colouring held and the GIL let go: f touches no Python object.
template <typename F>
auto withColouring(ColouringState& state, F&& f)
{
    HeldColouring held(state, false);
    return f();
}

// f() with the colouring held and the GIL kept: for a step that calls a Python clock.
template <typename F>
auto withColouringAndInterpreter(ColouringState& state, F&& f)
{
    HeldColouring held(state, true);
    return f();
}

// ---------------------------------------------------------------------------
// Maps (maps.cpp)

// One map, what it was built as, and the colouring that shows it as it stands.
class MapBox {
public:
    std::shared_ptr<const Map> map;
    uint32_t seed = 0;
    int32_t nodes = 0;
    std::vector<Point> sites;  // of a map from given sites (Map.from_sites); empty for a seeded map

    // The map as built, read once.
    std::vector<int32_t> xy;
    std::vector<std::pair<int, int>> borders;
    std::vector<std::vector<int>> rings;
    std::vector<int> outer;

    void takeSnapshot();

    // The newest colouring, or null before the first. With the GIL held.
    std::shared_ptr<ColouringState> shown() const;
    // Makes `state` the newest; returns the one it replaces, for the caller
    // to drop with the GIL held.
    std::shared_ptr<ColouringState> show(std::shared_ptr<ColouringState> state);

private:
    mutable std::mutex shownMutex_;  // held only to copy or swap shown_
    std::shared_ptr<ColouringState> shown_;
};

inline constexpr const char* unbuiltMap = "this Map was not built: use orvane.Map(seed, nodes) or orvane.Map.from_sites(points)";
inline MapBox& mapOf(py::handle self) { return builtObject<MapBox>(self, unbuiltMap); }
inline const std::shared_ptr<MapBox>& sharedMapOf(py::handle self)
{
    return builtInstance<MapBox>(self, unbuiltMap).holder<std::shared_ptr<MapBox>>();
}

std::string mapRepr(const MapBox& box);
py::array_t<int8_t> int8Array(const std::vector<int8_t>& v);
std::vector<int8_t> coloursByNumber(const Colouring& colouring);

void bindMap(py::module_& m, py::class_<MapBox, std::shared_ptr<MapBox>>& mapClass);

// ---------------------------------------------------------------------------
// Colourings (colourings.cpp)

// A colouring as Python holds it: its map and its state.
struct PyColouring {
    std::shared_ptr<MapBox> box;
    std::shared_ptr<ColouringState> state;
};

std::unique_ptr<PyColouring> makeColouring(const std::shared_ptr<MapBox>& box, py::object clockFunction);
void bindColouring(py::class_<PyColouring>& colouringClass);

// ---------------------------------------------------------------------------
// Trace records (records.cpp)

struct TraceRecord {
    long step = 0;
    int phaseBefore = 0, phaseAfter = 0;
    int result = 0;
    bool verified = false, finished = false;
    std::string colours;
    int ring = 0, candidate = 0, arcFirst = 0, arcLast = 0, pivot = 0, pathHead = 0, pathTail = 0, cursor = 0;
    int flag = 0;
    std::string line;
};

// One step of the colouring (with its mutex held) and the record of it.
TraceRecord stepRecord(ColouringState& state, bool runToEnd);
void bindTraceRecord(py::class_<TraceRecord>& recordClass);

extern PyObject* finishedError;  // orvane.ColouringFinishedError

// ---------------------------------------------------------------------------
// Batch runs (batches.cpp)

void bindBatches(py::module_& m);

}  // namespace orvane::python
