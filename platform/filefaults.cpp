// Planned failures of file operations (test builds only).
#include "platform/filefaults.h"
#include <atomic>

namespace orvane {

namespace {
// The planned fault of each operation: fail its nth call from now with error.
struct PlannedFault {
    std::atomic<long> remaining{0};  // calls until the failing one; 0: none planned
    std::atomic<int> error{0};
};
PlannedFault plannedFaults[4];
}  // namespace

int plannedFileFailure(FileOperation op)
{
    PlannedFault& f = plannedFaults[static_cast<int>(op)];
    if (f.remaining.load() <= 0) return 0;
    return f.remaining.fetch_sub(1) == 1 ? f.error.load() : 0;
}

void headlessFailFileOperation(FileOperation op, long nth, int error)
{
    PlannedFault& f = plannedFaults[static_cast<int>(op)];
    f.error = error;
    f.remaining = nth;
}

void headlessClearFileFaults()
{
    for (PlannedFault& f : plannedFaults) f.remaining = 0;
}

}  // namespace orvane
