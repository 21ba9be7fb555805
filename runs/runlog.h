// The run log of one batch run: the error lines so far, then one in-progress
// line (or, once the run is over, the first-seed line and the summary).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include "platform/platform.h"
#include "runs/batch.h"

namespace orvane {

// The file's path, "Log_YYYY/(N)M_@MMDDhhmmss.txt", in `parent` (empty:
// beside the executable), from the run's start time and the normalised count
// texts; empty when it cannot be built (executable path unknown or too long).
std::u16string runLogFilePath(const LocalTime& start, const std::u16string& nodeText, const std::u16string& mapText,
                              const std::u16string& parent);

// Creates a new file at `path` as every run log is created: the missing
// folders made, never over an existing file (when the name is taken, the first
// free of NAME_2.txt, NAME_3.txt ...). `created` is the file made; on failure
// the folder that could not be made (`folderFailed` set) or the name last tried.
int createRunLogFile(const std::u16string& path, FILE** file, std::u16string& created, bool& folderFailed);

// Every write is flushed at once and leaves the file made of whole lines.
// Each operation gives 0, or the error number of the write, seek, flush or
// close that failed; after a failure the log takes no more writes.
class RunLog {
public:
    RunLog() = default;
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Makes the missing folders and creates the file, never over an existing
    // one: when the name is taken, the first free of NAME_2.txt, NAME_3.txt ...
    int create(const std::u16string& path, uint32_t firstSeed, int32_t nodes);
    // The in-progress line of this seed, flushed before the map is built.
    int mapStarted(uint32_t seed);
    // Ends the map's line: a line end after success, the error line after failure.
    int mapFinished(uint32_t seed, uint16_t result, bool lastMap);
    // The first-seed line and the summary from the batch page's time texts; closes the log.
    int summary(int32_t mapCount, const BatchTexts& texts);
    // Closes the log where it stands.
    int close();

    bool isOpen() const { return file_ != nullptr; }
    // The file created, or the one that could not be: the folder that could
    // not be made, or the name last tried.
    const std::u16string& path() const { return path_; }
    // Creation failed at a folder (path() names it), not at the file.
    bool folderFailed() const { return folderFailed_; }

private:
    int writeAt(long offset, const std::string& bytes);

    FILE* file_ = nullptr;
    std::u16string path_;
    int error_ = 0;
    bool folderFailed_ = false;
    uint32_t firstSeed_ = 0;
    int32_t nodes_ = 0;
    long position_ = 0;   // where the line of the map in progress starts
    long summaryAt_ = 0;  // where the first-seed line goes when the run ends
    long lineBytes_ = 0;  // length of an in-progress line without its line end
};

}  // namespace orvane
