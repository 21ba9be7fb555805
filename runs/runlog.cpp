// The run log: one text file per batch run, in the locale's encoding with CR LF.
// The line of the map in progress is rewritten in place; every write covers at
// least the bytes it replaces, so the file never keeps the tail of an old line,
// whatever the encoding, and a run killed at any moment leaves whole lines.
#include "runs/runlog.h"
#include "runs/strings.h"
#include "runs/texts.h"
#include <cerrno>

namespace orvane {

namespace bs = batchstrings;

namespace {
std::u16string twoDigits(int value)
{
    std::u16string d = decimalText(value);
    return d.size() < 2 ? u"0" + d : d;
}

std::u16string seedAndNodes(uint32_t seed, int32_t nodes)
{
    return seedDigits(seed) + u"(" + decimalText(nodes) + bs::lineMark;
}

std::u16string inProgressLine(uint32_t seed, int32_t nodes) { return seedAndNodes(seed, nodes) + bs::inProgress; }

std::u16string errorLine(uint32_t seed, int32_t nodes, uint16_t result)
{
    return seedAndNodes(seed, nodes) + bs::errorOpen + decimalText(static_cast<int16_t>(result)) + bs::close +
           bs::lineEnd;
}

std::u16string firstSeedLine(uint32_t seed, int32_t nodes)
{
    return seedAndNodes(seed, nodes) + bs::firstSeed + bs::lineEnd;
}

std::u16string summaryLines(int32_t nodes, int32_t maps, const BatchTexts& texts)
{
    const std::u16string separator = std::u16string(bs::separator) + bs::lineEnd;
    return separator + bs::nodeCount + decimalText(nodes) + bs::lineEnd + bs::mapCount + decimalText(maps) +
           bs::lineEnd + separator + texts.batchTotalTime + bs::lineEnd + texts.batchMapTime + bs::lineEnd +
           texts.batchColourTime + bs::lineEnd;
}
}  // namespace

std::u16string runLogFilePath(const LocalTime& start, const std::u16string& nodeText, const std::u16string& mapText,
                              const std::u16string& parent)
{
    std::u16string year = decimalText(start.year % 10000);
    while (year.size() < 4) year = u"0" + year;
    const std::u16string name = u"(" + nodeText + u")" + mapText + u"_@" + twoDigits(start.month) +
                                twoDigits(start.day) + twoDigits(start.hour) + twoDigits(start.minute) +
                                twoDigits(start.second) + u".txt";
    const std::u16string inFolder = u"Log_" + year + pathSeparator + name;
    if (parent.empty()) return pathBesideExecutable(inFolder);
    std::u16string path = parent;
    if (path.back() != u'/' && path.back() != u'\\') path += pathSeparator;
    return path + inFolder;
}

namespace {
constexpr int mostNameTries = 10000;

// NAME.txt, NAME_2.txt, NAME_3.txt ...
std::u16string numberedName(const std::u16string& path, int k)
{
    if (k == 1) return path;
    const size_t dot = path.rfind(u".txt");
    const std::u16string stem = dot == std::u16string::npos ? path : path.substr(0, dot);
    return stem + u"_" + decimalText(k) + u".txt";
}
}  // namespace

RunLog::~RunLog() { close(); }

int RunLog::close()
{
    if (!file_) return error_;
    const int e = closeFile(file_);
    file_ = nullptr;
    if (!error_) error_ = e;
    return e;
}

// Writes bytes at an offset and flushes them: one write to the file.
int RunLog::writeAt(long offset, const std::string& bytes)
{
    if (error_) return error_;
    if (!file_) return error_ = EBADF;
    int e = seekFile(file_, offset);
    if (!e) e = writeFile(file_, bytes.data(), bytes.size());
    if (!e) e = flushFile(file_);
    if (e) error_ = e;
    return e;
}

int createRunLogFile(const std::u16string& path, FILE** file, std::u16string& created, bool& folderFailed)
{
    *file = nullptr;
    created = path;
    folderFailed = false;
    if (path.empty()) return ENAMETOOLONG;
    const size_t cut = path.find_last_of(u"/\\");
    if (cut != std::u16string::npos && cut > 0) {
        if (const int e = createFolders(path.substr(0, cut), created)) {
            folderFailed = true;
            return e;
        }
    }
    int e = EEXIST;
    for (int k = 1; k <= mostNameTries && e == EEXIST; ++k) {
        created = numberedName(path, k);
        if (created.size() > maxPathUnits) return ENAMETOOLONG;
        e = createFile(created, true, file);
    }
    return e;
}

int RunLog::create(const std::u16string& path, uint32_t firstSeed, int32_t nodes)
{
    firstSeed_ = firstSeed;
    nodes_ = nodes;
    position_ = summaryAt_ = 0;
    const int e = createRunLogFile(path, &file_, path_, folderFailed_);
    lineBytes_ = static_cast<long>(toLocaleEncoding(inProgressLine(0, nodes)).size());
    return error_ = e;
}

int RunLog::mapStarted(uint32_t seed)
{
    // Same length as the line it replaces: only the seed's digits differ.
    const int e = writeAt(position_, toLocaleEncoding(inProgressLine(seed, nodes_)));
    summaryAt_ = position_;
    return e;
}

int RunLog::mapFinished(uint32_t seed, uint16_t result, bool lastMap)
{
    if (result == 0) {
        summaryAt_ = position_ + lineBytes_ + 2;
        return writeAt(position_ + lineBytes_, "\r\n");
    }
    // The error line can be shorter than the in-progress line it replaces (in
    // UTF-8 it is), so it goes out together with the line that follows it
    // anyway: the next map's in-progress line, or after the last map the
    // first-seed line. Together they always cover the old line and its end.
    const std::string error = toLocaleEncoding(errorLine(seed, nodes_, result));
    const std::u16string following = lastMap ? firstSeedLine(firstSeed_, nodes_) : inProgressLine(seed + 1, nodes_);
    const int e = writeAt(position_, error + toLocaleEncoding(following));
    position_ += static_cast<long>(error.size());
    summaryAt_ = position_;
    return e;
}

int RunLog::summary(int32_t mapCount, const BatchTexts& texts)
{
    const int e = writeAt(summaryAt_, toLocaleEncoding(firstSeedLine(firstSeed_, nodes_) + summaryLines(nodes_, mapCount, texts)));
    const int closed = close();
    return e ? e : closed;
}

}  // namespace orvane
