// The step trace of a colouring, as the tests compare it.
#pragma once
#include "engine/colouring.h"
#include "runs/trace.h"
#include <string>
#include <vector>

namespace trace_testing {

// The trace lines of a colouring stepped one press at a time to its end.
inline std::vector<std::string> traceOf(orvane::Colouring& colouring)
{
    std::vector<std::string> lines;
    for (long k = 1; !colouring.finished(); ++k) {
        const orvane::Phase before = colouring.phase();
        const orvane::StepReport r = colouring.step(false);
        lines.push_back(orvane::traceLine(k, before, r.result, colouring));
    }
    return lines;
}

}  // namespace trace_testing
