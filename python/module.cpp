// orvane._orvane: the library's maps, colourings and batch runs for Python.
// This file makes the module: its constants, exceptions, enums and classes;
// the other files of python/ bind them (module.h says which, and how the
// module locks).
#include "module.h"

using namespace orvane;
using namespace orvane::python;

namespace {

// The engine's phases as an unscoped enum: Python's enum of it then compares,
// orders and converts as the ints that records and colourings give.
constexpr uint8_t code(Phase p) { return static_cast<uint8_t>(p); }
enum PhaseCode : uint8_t {
    prepare = code(Phase::prepare),
    grow = code(Phase::grow),
    locate = code(Phase::locate),
    freePivot = code(Phase::freePivot),
    walkPath = code(Phase::walkPath),
    clearCursor = code(Phase::clearCursor),
    shake = code(Phase::shake),
    complete = code(Phase::complete),
    verify = code(Phase::verify),
    finished = code(Phase::finished),
};

}  // namespace

PYBIND11_MODULE(_orvane, m)
{
    m.doc() = "Maps, colourings and batch runs of the Orvane library (use the orvane package).";
    m.attr("__version__") = orvane::version;
    m.attr("least_nodes") = leastNodes;
    m.attr("most_nodes") = mostNodes;
    m.attr("most_batch_maps") = mostBatchMaps;
    m.attr("time_limit_ms") = engineTimeLimitMs;

    // Kept for the life of the process, as the module itself is.
    finishedError = PyErr_NewExceptionWithDoc("orvane.ColouringFinishedError",
                                              "Raised when a colouring that has finished is stepped or run again.",
                                              PyExc_RuntimeError, nullptr);
    if (!finishedError) throw py::error_already_set();
    m.attr("ColouringFinishedError") = py::handle(finishedError);

    // The classes and enums are named as the package shows them (orvane.Map,
    // not orvane._orvane.Map) and all exist before any signature names them.
    const py::object moduleName = m.attr("__name__");
    m.attr("__name__") = "orvane";
    py::enum_<PhaseCode> phaseEnum(m, "Phase", py::arithmetic(),
                               "The engine's phases, as TraceRecord.phase_before/phase_after and Colouring.phase give "
                               "them (ints that compare and convert as these).");
    py::enum_<ColourCode> colourEnum(m, "Colour", py::arithmetic(),
                                     "Entries of the colours arrays: none, the four colours, the blocked candidate.");
    py::class_<TraceRecord> traceRecordClass(m, "TraceRecord");
    py::class_<MapBox, std::shared_ptr<MapBox>> mapClass(m, "Map");
    py::class_<PyColouring> colouringClass(m, "Colouring");
    m.attr("__name__") = moduleName;

    phaseEnum.value("PREPARE", PhaseCode::prepare)
        .value("GROW", PhaseCode::grow)
        .value("LOCATE", PhaseCode::locate)
        .value("FREE_PIVOT", PhaseCode::freePivot)
        .value("WALK_PATH", PhaseCode::walkPath)
        .value("CLEAR_CURSOR", PhaseCode::clearCursor)
        .value("SHAKE", PhaseCode::shake)
        .value("COMPLETE", PhaseCode::complete)
        .value("VERIFY", PhaseCode::verify)
        .value("FINISHED", PhaseCode::finished);
    colourEnum.value("NONE", colourNone)
        .value("R", colourR)
        .value("G", colourG)
        .value("Y", colourY)
        .value("B", colourB)
        .value("BLOCKED", colourBlocked);

    bindTraceRecord(traceRecordClass);
    bindMap(m, mapClass);
    bindColouring(colouringClass);
    bindBatches(m);
}
