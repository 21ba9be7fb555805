// orvane.TraceRecord: what one step of a colouring did, as the companion's
// trace line tells it, and the step that makes one.
#include <cstdio>

#include "module.h"

namespace orvane::python {

PyObject* finishedError = nullptr;

namespace {

int numberOf(const Map& map, NodeIndex v) { return v == noNode ? 0 : map.number(v); }

const TraceRecord& recordOf(py::handle self)
{
    return builtObject<TraceRecord>(self, "this TraceRecord was not made by a step: use Colouring.step()");
}

// A read-only attribute of a record.
template <auto Member>
auto field()
{
    return [](py::handle self) { return recordOf(self).*Member; };
}

TraceRecord describeStep(ColouringState& s, Phase before, const StepReport& report)
{
    const Colouring& colouring = *s.colouring;
    const EngineState& e = colouring.state();
    const Map& map = colouring.map();
    TraceRecord r;
    r.step = s.steps;
    r.phaseBefore = static_cast<int>(before);
    r.phaseAfter = static_cast<int>(e.EnginePhase);
    r.result = report.result;
    r.verified = report.verified;
    r.finished = report.finished;
    r.colours = colourRow(colouring);
    r.ring = numberOf(map, e.ringEntry);
    r.candidate = numberOf(map, e.candidate);
    r.arcFirst = numberOf(map, e.arcFirst);
    r.arcLast = numberOf(map, e.arcLast);
    r.pivot = numberOf(map, e.pivot);
    r.pathHead = numberOf(map, e.pathHead);
    r.pathTail = numberOf(map, e.pathTail);
    r.cursor = numberOf(map, e.pathCursor);
    r.flag = e.pathFlag;
    r.line = traceLine(s.steps, before, report.result, colouring);
    return r;
}

}  // namespace

TraceRecord stepRecord(ColouringState& s, bool runToEnd)
{
    bool finishedBefore = false;
    std::unique_ptr<py::error_already_set> clockError;
    const auto step = [&] {
        if (s.colouring->finished()) {
            finishedBefore = true;
            return TraceRecord{};
        }
        const Phase before = s.colouring->phase();
        const StepReport report = s.colouring->step(runToEnd);
        ++s.steps;
        if (report.verified) s.result = report.result;
        if (s.clock) clockError = s.clock->takeError();
        return describeStep(s, before, report);
    };
    // A Python clock is read with the GIL that the step keeps; otherwise the
    // step lets the GIL go while it works.
    TraceRecord record = s.clock ? withColouringAndInterpreter(s, step) : withColouring(s, step);
    if (clockError) throw std::move(*clockError);
    if (finishedBefore)
        throwPython(finishedError, std::string("cannot ") + (runToEnd ? "run" : "step") +
                                       ": the colouring has finished (result available as .result); make a new one "
                                       "with map.colouring()");
    return record;
}

void bindTraceRecord(py::class_<TraceRecord>& recordClass)
{
    recordClass.doc() = R"doc(
What one step of a colouring did and the engine's state after it.

``str(record)`` is the companion's trace line for that step, e.g.
``step 2 phase 1->1 result 0 colours .Y.GYR.. ring 5 cand 5 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0``.
Node references are node numbers (1..N), 0 when unset; ``colours`` has one
letter per node from ``.RGYB*`` (a dot for none, ``*`` for the blocked candidate).
)doc";
    recordClass
        .def_property_readonly("step", field<&TraceRecord::step>(), "The number of this step on its colouring (from 1).")
        .def_property_readonly("phase_before", field<&TraceRecord::phaseBefore>(),
                               "The phase the step started in (see orvane.Phase).")
        .def_property_readonly("phase_after", field<&TraceRecord::phaseAfter>(), "The phase to run next; 255 once finished.")
        .def_property_readonly("result", field<&TraceRecord::result>(), "0, or the first node that failed verification.")
        .def_property_readonly("verified", field<&TraceRecord::verified>(),
                               "Verification ran in this step; result is its result.")
        .def_property_readonly("finished", field<&TraceRecord::finished>(), "The colouring is over.")
        .def_property_readonly("colours", field<&TraceRecord::colours>(), "The colour row after the step, one letter per node.")
        .def_property_readonly("ring", field<&TraceRecord::ring>(), "The ring entry.")
        .def_property_readonly("candidate", field<&TraceRecord::candidate>(), "The candidate to insert into the ring.")
        .def_property_readonly(
            "arc",
            [](py::handle self) {
                const TraceRecord& r = recordOf(self);
                return py::make_tuple(r.arcFirst, r.arcLast);
            },
            "The candidate's contact arc on the ring: (first, last).")
        .def_property_readonly("pivot", field<&TraceRecord::pivot>(), "The pivot of the conflict being resolved.")
        .def_property_readonly(
            "path",
            [](py::handle self) {
                const TraceRecord& r = recordOf(self);
                return py::make_tuple(r.pathHead, r.pathTail);
            },
            "The conflict path: (head, tail).")
        .def_property_readonly("cursor", field<&TraceRecord::cursor>(), "The path cursor.")
        .def_property_readonly("flag", field<&TraceRecord::flag>(), "1 when the path walk found no move at the cursor.")
        .def("__str__", [](py::handle self) { return recordOf(self).line; })
        .def("__repr__",
             [](py::handle self) {
                 const TraceRecord& r = recordOf(self);
                 char buf[200];
                 std::snprintf(buf, sizeof buf,
                               "TraceRecord(step=%ld, phase %d->%d, result=%d, ring=%d, candidate=%d, arc=(%d, %d), "
                               "pivot=%d, path=(%d, %d), cursor=%d, flag=%d)",
                               r.step, r.phaseBefore, r.phaseAfter, r.result, r.ring, r.candidate, r.arcFirst,
                               r.arcLast, r.pivot, r.pathHead, r.pathTail, r.cursor, r.flag);
                 return std::string(buf);
             })
        .def("__eq__",
             [](py::handle self, py::handle other) {
                 const TraceRecord& a = recordOf(self);
                 if (!py::isinstance<TraceRecord>(other)) return false;
                 const TraceRecord& b = recordOf(other);
                 return a.line == b.line && a.verified == b.verified && a.finished == b.finished;
             })
        .def("__hash__", [](py::handle self) { return py::hash(py::str(recordOf(self).line)); });
}

}  // namespace orvane::python
