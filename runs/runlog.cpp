// The run log: one text file per batch run, in the locale's encoding with CR LF.
// The line of the map in progress is rewritten in place; every write covers at
// least the bytes it replaces, so the file never keeps the tail of an old line,
// whatever the encoding, and a run killed at any moment leaves whole lines.
#include "runs/runlog.h"
#include "runs/runs.h"

std::u16string runLogParent;
std::u16string runLogPath;

namespace {
std::u16string number(long long value)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lld", value);
    return toUtf16(buf);
}

std::u16string twoDigits(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return toUtf16(buf);
}

std::u16string seedDigits(uint32_t seed)
{
    char16_t text[16];
    formatSeed(seed, text);
    return text;
}

std::u16string seedAndNodes(uint32_t seed, int32_t nodes)
{
    return seedDigits(seed) + u"(" + number(nodes) + u")\t;";
}

std::u16string inProgressLine(uint32_t seed, int32_t nodes) { return seedAndNodes(seed, nodes) + u"最終地図"; }

std::u16string errorLine(uint32_t seed, int32_t nodes, uint16_t result)
{
    return seedAndNodes(seed, nodes) + u"Error(" + number(static_cast<int16_t>(result)) + u")\r\n";
}

std::u16string firstSeedLine(uint32_t seed, int32_t nodes) { return seedAndNodes(seed, nodes) + u"初期地図\r\n"; }

std::u16string summaryLines(int32_t nodes, int32_t maps)
{
    const std::u16string separator = u"--------------------------\r\n";
    return separator + u"ノード数 : " + number(nodes) + u"\r\n" + u"地図数 : " + number(maps) + u"\r\n" + separator +
           batchTotalTime + u"\r\n" + batchMapTime + u"\r\n" + batchColourTime + u"\r\n";
}

// Writes bytes at an offset and flushes them: one write to the file.
void writeAt(RunLog& log, long offset, const std::string& bytes)
{
    std::fseek(log.file, offset, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), log.file);
    std::fflush(log.file);
}
}  // namespace

std::u16string runLogFilePath(const LocalTime& start, const char16_t* nodeText, const char16_t* mapText)
{
    char folder[16];
    std::snprintf(folder, sizeof folder, "Log_%04d", start.year % 10000);
    const std::u16string name = u"(" + std::u16string(nodeText) + u")" + mapText + u"_@" + twoDigits(start.month) +
                                twoDigits(start.day) + twoDigits(start.hour) + twoDigits(start.minute) +
                                twoDigits(start.second) + u".txt";
    const std::u16string inFolder = toUtf16(folder) + pathSeparator + name;
    if (runLogParent.empty()) return pathBesideExecutable(inFolder);
    std::u16string path = runLogParent;
    if (path.back() != u'/' && path.back() != u'\\') path += pathSeparator;
    return path + inFolder;
}

bool createRunLog(RunLog& log, const std::u16string& path, uint32_t firstSeed, int32_t nodes)
{
    log = RunLog{nullptr, firstSeed, nodes, 0, 0, 0};
    if (path.empty()) return false;
    createFolder(path.substr(0, path.find_last_of(u"/\\")));
    log.file = openFile(path, "wb");
    log.lineBytes = static_cast<long>(toLocaleEncoding(inProgressLine(0, nodes)).size());
    return log.file != nullptr;
}

void logMapStarted(RunLog& log, uint32_t seed)
{
    // Same length as the line it replaces: only the seed's digits differ.
    writeAt(log, log.position, toLocaleEncoding(inProgressLine(seed, log.nodes)));
    log.summaryAt = log.position;
}

void logMapFinished(RunLog& log, uint32_t seed, uint16_t result, bool lastMap)
{
    if (result == 0) {
        writeAt(log, log.position + log.lineBytes, "\r\n");
        log.summaryAt = log.position + log.lineBytes + 2;
        return;
    }
    // The error line can be shorter than the in-progress line it replaces (in
    // UTF-8 it is), so it goes out together with the line that follows it
    // anyway: the next map's in-progress line, or after the last map the
    // first-seed line. Together they always cover the old line and its end.
    const std::string error = toLocaleEncoding(errorLine(seed, log.nodes, result));
    const std::u16string following =
        lastMap ? firstSeedLine(log.firstSeed, log.nodes) : inProgressLine(seed + 1, log.nodes);
    writeAt(log, log.position, error + toLocaleEncoding(following));
    log.position += static_cast<long>(error.size());
    log.summaryAt = log.position;
}

void logSummary(RunLog& log, int32_t mapCount)
{
    writeAt(log, log.summaryAt,
            toLocaleEncoding(firstSeedLine(log.firstSeed, log.nodes) + summaryLines(log.nodes, mapCount)));
    std::fclose(log.file);
    log.file = nullptr;
}
