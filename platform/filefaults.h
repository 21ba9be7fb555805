// Planned failures of file operations, for the tests of what a failed write,
// seek, flush or close does. Only the test builds of the headless back end
// (ORVANE_FILE_FAULTS) carry them; everywhere else no fault can be planned and
// the file operations ask nothing.
#pragma once

namespace orvane {

enum class FileOperation { write = 0, seek = 1, flush = 2, close = 3 };

#ifdef ORVANE_FILE_FAULTS
// The nth call (counted from now) of `op` fails with `error`; the calls after
// it succeed again.
void headlessFailFileOperation(FileOperation op, long nth, int error);
void headlessClearFileFaults();
// The error a planned fault gives this call of `op`, or 0.
int plannedFileFailure(FileOperation op);
#else
inline int plannedFileFailure(FileOperation) { return 0; }
#endif

}  // namespace orvane
