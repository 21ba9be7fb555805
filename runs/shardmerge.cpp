// The merge of a sharded run: every shard file of the folder is read and
// checked against the run, and only a whole run (each shard once, complete,
// with its own slice) becomes a run log.
#include "runs/shardmerge.h"
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <tuple>
#include "runs/runlog.h"
#include "runs/strings.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace orvane {

namespace bs = batchstrings;
namespace fs = std::filesystem;

namespace {
struct ShardFile {
    std::u16string path, name;
    bool complete = false;
    bool notAFile = false;  // a folder, a pipe, a device: nothing a shard writes replaces it
    ShardRecord record;
    std::string problem;
};

std::string shown(const std::u16string& path) { return toLocaleEncoding(path); }
std::string hex8(uint32_t seed) { return shown(seedDigits(seed)); }

bool isShardFileName(const std::u16string& name)
{
    return name.size() > 10 && name.compare(0, 6, u"shard-") == 0 && name.compare(name.size() - 4, 4, u".txt") == 0;
}

// The names shard-*.txt in the folder, sorted: whatever they name, so that
// a folder or a pipe under such a name is refused by name, not passed over.
std::vector<std::u16string> shardFileNames(const std::u16string& folder, std::string& problem)
{
    std::vector<std::u16string> names;
    std::error_code error;
    fs::directory_iterator it(fs::path(folder), error), end;
    for (; !error && it != end; it.increment(error)) {
        const std::u16string name = it->path().filename().u16string();
        if (isShardFileName(name)) names.push_back(name);
    }
    if (error) problem = "cannot read the folder '" + shown(folder) + "': " + error.message();
    std::sort(names.begin(), names.end());
    return names;
}

// Appends from the file until its end or until `bytes` holds more than `most`.
int readUpTo(FILE* file, uint64_t most, std::string& bytes)
{
    char buffer[65536];
    errno = 0;
    while (bytes.size() <= most) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, most + 1 - bytes.size()));
        const size_t n = std::fread(buffer, 1, want, file);
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    return std::ferror(file) ? (errno ? errno : EIO) : 0;
}

// Reads a file no further than a shard file can reach: its first lines say
// how long the whole can be, so a larger file is refused unread.
int readShardBytes(FILE* file, uint64_t size, std::string& bytes, std::string& problem)
{
    if (const int e = readUpTo(file, shardHeadBytes, bytes)) return e;
    if (bytes.size() <= shardHeadBytes) return 0;  // all of it
    const std::string sizeText = "is " + std::to_string(size) + " bytes";
    uint64_t most = 0;
    std::string why;
    if (!shardFileLimit(bytes.substr(0, shardHeadBytes), most, why)) {
        problem = sizeText + " and does not begin as a shard file does (" + why + "); not read further";
        return 0;
    }
    if (size > most) {
        problem = sizeText + ", more than a shard file with the failed maps it counts can hold (" + std::to_string(most) +
                  " bytes); not read";
        return 0;
    }
    bytes.reserve(static_cast<size_t>(size));
    if (const int e = readUpTo(file, most, bytes)) return e;
    if (bytes.size() > most) problem = "grew past the " + std::to_string(most) + " bytes a shard file so begun can hold while it was read";
    return 0;
}

std::string notAFileReason(FileKind kind)
{
    return kind == FileKind::folder ? "is a folder, not a shard file: move it out of the way"
                                    : "is not a regular file (a pipe, a socket or a device) and is not read: move it out of the way";
}

ShardFile readShardFile(const std::u16string& folder, const std::u16string& name)
{
    ShardFile f;
    f.name = name;
    f.path = pathInFolder(folder, name);
    FILE* file = nullptr;
    FileKind kind = FileKind::none;
    uint64_t size = 0;
    if (const int e = openRegularFile(f.path, &file, kind, size)) {
        f.problem = "cannot be read: " + errorText(e);
        return f;
    }
    if (!file) {
        f.notAFile = true;
        f.problem = notAFileReason(kind);
        return f;
    }
    try {
        std::string bytes;
        const int e = readShardBytes(file, size, bytes, f.problem);
        if (e) f.problem = "cannot be read: " + errorText(e);
        else if (f.problem.empty()) f.complete = readShardText(bytes, f.record, f.problem);
    } catch (const std::bad_alloc&) {
        f.complete = false;
        f.record = ShardRecord{};
        f.problem = "is " + std::to_string(size) + " bytes: not enough memory to read it";
    }
    closeFile(file);
    return f;
}

std::string runText(const ShardedRun& run)
{
    return "seed " + hex8(run.firstSeed) + ", nodes " + std::to_string(run.nodes) + ", maps " +
           std::to_string(run.maps) + ", shards " + std::to_string(run.shards);
}

std::string sliceText(const SeedSlice& slice)
{
    if (slice.maps == 0) return "no seeds";
    return "seeds " + hex8(slice.firstSeed) + ".." + hex8(slice.firstSeed + static_cast<uint32_t>(slice.maps - 1)) + " (" +
           std::to_string(slice.maps) + " maps)";
}

// The run most complete files belong to; on a tie, the first in name order.
ShardedRun commonRun(const std::vector<ShardFile>& files)
{
    using Key = std::tuple<uint32_t, int32_t, uint64_t, uint32_t>;
    std::map<Key, size_t> counts;
    ShardedRun best;
    size_t bestCount = 0;
    for (const ShardFile& f : files) {
        if (!f.complete) continue;
        const ShardedRun& r = f.record.run;
        const size_t n = ++counts[Key{r.firstSeed, r.nodes, r.maps, r.shards}];
        if (n > bestCount) best = r, bestCount = n;
    }
    return best;
}

// Calls `range(first, last)` for each run of consecutive indices.
template <typename Range>
void forEachRange(const std::vector<uint32_t>& indices, Range range)
{
    for (size_t i = 0; i < indices.size();) {
        size_t j = i;
        while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1) ++j;
        range(indices[i], indices[j]);
        i = j + 1;
    }
}

// The shard whose slice holds the run's map at `offset` (< run.maps).
uint32_t shardHolding(const ShardedRun& run, uint64_t offset)
{
    const uint64_t base = run.maps / run.shards, longer = run.maps % run.shards;
    const uint64_t inLonger = longer * (base + 1);
    return static_cast<uint32_t>(offset < inLonger ? offset / (base + 1) : longer + (offset - inLonger) / base);
}

// Why a shard's slice is not its own: the seeds it holds and those of other shards it covers.
std::string wrongSliceReason(const ShardedRun& run, const ShardRecord& r)
{
    const SeedSlice own = shardSlice(run, r.index);
    std::string reason = "holds " + sliceText(r.slice) + ", not shard " + std::to_string(r.index) + "'s " + sliceText(own);
    const uint64_t first = static_cast<uint32_t>(r.slice.firstSeed - run.firstSeed);
    if (r.slice.maps == 0 || first >= run.maps) return reason + "; its seeds lie outside the run";
    const uint64_t last = std::min(first + r.slice.maps - 1, run.maps - 1);
    uint32_t from = shardHolding(run, first), to = shardHolding(run, last);
    std::string others;
    for (uint32_t i = from; i <= to && others.size() < 80; ++i)
        if (i != r.index) others += (others.empty() ? "" : ", ") + std::to_string(i);
    if (!others.empty()) reason += "; it overlaps shard " + others;
    if (first + r.slice.maps > run.maps) reason += "; it runs past the run's last seed";
    return reason;
}

void refuse(ShardSet& set, RefusedShardFile::Kind kind, const ShardFile& f, const std::string& reason)
{
    set.refused.push_back({kind, f.path, reason});
}

// Sorts the complete files of the run into the set, one per index. Of two
// copies of a shard, the one under the shard's own name is kept.
void sortIntoSet(ShardSet& set, const std::vector<ShardFile>& files)
{
    using Kind = RefusedShardFile::Kind;
    std::vector<const ShardFile*> order;
    for (const ShardFile& f : files) order.push_back(&f);
    std::stable_partition(order.begin(), order.end(), [&set](const ShardFile* f) {
        return f->complete && f->name == shardFileName(f->record.index, set.run.shards);
    });
    std::vector<const ShardFile*> holder(set.run.shards, nullptr);
    for (const ShardFile* file : order) {
        const ShardFile& f = *file;
        const ShardRecord& r = f.record;
        if (!f.complete) refuse(set, f.notAFile ? Kind::notAFile : Kind::unreadable, f, f.problem);
        else if (!(r.run == set.run))
            refuse(set, Kind::otherRun, f, "belongs to another run (" + runText(r.run) + "), not to this one (" + runText(set.run) + ")");
        else if (!(r.slice == shardSlice(set.run, r.index))) refuse(set, Kind::wrongSlice, f, wrongSliceReason(set.run, r));
        else if (holder[r.index])
            refuse(set, Kind::duplicate, f, "another copy of shard " + std::to_string(r.index) + ", which " + shown(holder[r.index]->path) + " holds");
        else holder[r.index] = &f;
    }
    std::stable_sort(set.refused.begin(), set.refused.end(),
                     [](const RefusedShardFile& a, const RefusedShardFile& b) { return a.path < b.path; });
    for (uint32_t i = 0; i < set.run.shards; ++i) {
        if (holder[i]) set.shards.push_back(holder[i]->record);
        else set.missing.push_back(i);
    }
}

std::u16string seedAndNodes(uint32_t seed, int32_t nodes)
{
    return seedDigits(seed) + u"(" + decimalText(nodes) + bs::lineMark;
}

// The log's bytes go out in large writes; the first error stops them.
class LogWriter {
public:
    explicit LogWriter(FILE* file) : file_(file) {}

    void add(const std::u16string& text)
    {
        buffer_ += toLocaleEncoding(text);
        if (buffer_.size() >= 1 << 16) flush();
    }

    int finish()
    {
        flush();
        if (!error_) error_ = flushFile(file_);
        return error_;
    }

private:
    void flush()
    {
        if (!error_ && !buffer_.empty()) error_ = writeFile(file_, buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    FILE* file_;
    std::string buffer_;
    int error_ = 0;
};

bool lastMapFailed(const ShardSet& set)
{
    const uint32_t lastSeed = set.run.firstSeed + static_cast<uint32_t>(set.run.maps - 1);
    const ShardRecord& last = set.shards[static_cast<size_t>(std::min<uint64_t>(set.run.maps, set.run.shards) - 1)];
    return !last.failed.empty() && last.failed.back().seed == lastSeed;
}

// The time lines: from the earliest start to the latest end, and the sums
// wrapped to 32 bits as one run's sums wrap, or exact beyond one run's limit.
BatchTexts mergedTimes(const ShardSet& set)
{
    int64_t start = set.shards.front().start.epochMs, end = set.shards.front().end.epochMs;
    uint64_t mapMs = 0, colourMs = 0;
    for (const ShardRecord& s : set.shards) {
        start = std::min(start, s.start.epochMs);
        end = std::max(end, s.end.epochMs);
        mapMs += s.tally.mapMs;
        colourMs += s.tally.colourMs;
    }
    BatchTexts texts;
    const uint64_t elapsed = static_cast<uint64_t>(end - start);
    if (set.run.maps <= static_cast<uint64_t>(mostBatchMaps))
        formatMergedBatchTimes(texts, elapsed, static_cast<int32_t>(static_cast<uint32_t>(mapMs)),
                               static_cast<int32_t>(static_cast<uint32_t>(colourMs)));
    else
        formatExactBatchTimes(texts, elapsed, mapMs, colourMs);
    return texts;
}

int writeLogText(FILE* file, const ShardSet& set)
{
    const ShardedRun& run = set.run;
    LogWriter log(file);
    for (const ShardRecord& s : set.shards)
        for (const FailedMap& m : s.failed)
            log.add(seedAndNodes(m.seed, run.nodes) + bs::errorOpen + decimalText(static_cast<int16_t>(m.result)) +
                    bs::close + bs::lineEnd);
    if (!lastMapFailed(set))
        log.add(seedAndNodes(run.firstSeed + static_cast<uint32_t>(run.maps - 1), run.nodes) + bs::inProgress + bs::lineEnd);
    log.add(seedAndNodes(run.firstSeed, run.nodes) + bs::firstSeed + bs::lineEnd);
    const std::u16string separator = std::u16string(bs::separator) + bs::lineEnd;
    const BatchTexts times = mergedTimes(set);
    log.add(separator + bs::nodeCount + decimalText(run.nodes) + bs::lineEnd + bs::mapCount +
            decimalText(static_cast<int64_t>(run.maps)) + bs::lineEnd + separator + times.batchTotalTime + bs::lineEnd +
            times.batchMapTime + bs::lineEnd + times.batchColourTime + bs::lineEnd);
    return log.finish();
}

const ShardRecord& earliestShard(const ShardSet& set)
{
    return *std::min_element(set.shards.begin(), set.shards.end(), [](const ShardRecord& a, const ShardRecord& b) {
        return a.start.epochMs < b.start.epochMs;
    });
}

// Creates the log as every run log is created (missing folders made, never
// over an existing file: NAME_2.txt ...), then writes it in one pass through
// the handle that created it: the name is never opened again, so nothing put
// in its place meanwhile is written to or truncated.
void writeMergedLog(const ShardSet& set, const std::u16string& logParent, MergeOutcome& out)
{
    const ShardedRun& run = set.run;
    const std::u16string wanted = runLogFilePath(earliestShard(set).start.local, decimalText(run.nodes),
                                                 decimalText(static_cast<int64_t>(run.maps)), logParent);
    FILE* file = nullptr;
    out.logError = createRunLogFile(wanted, &file, out.logPath, out.folderFailed);
    if (out.logError) return;
    out.logError = writeLogText(file, set);
    const int closed = closeFile(file);
    if (!out.logError) out.logError = closed;
    if (out.logError) removeFile(out.logPath);
}
}  // namespace

ShardSet readShardSet(const std::u16string& folder, const ShardedRun* run)
{
    ShardSet set;
    std::vector<ShardFile> files;
    for (const std::u16string& name : shardFileNames(folder, set.folderProblem))
        files.push_back(readShardFile(folder, name));
    if (!set.folderProblem.empty()) return set;
    const bool anyComplete = std::any_of(files.begin(), files.end(), [](const ShardFile& f) { return f.complete; });
    if (!run && !anyComplete) {
        set.folderProblem = files.empty() ? "no shard file (shard-*.txt) in '" + shown(folder) + "'"
                                          : "no complete shard file in '" + shown(folder) + "': the run is unknown";
        for (const ShardFile& f : files)
            refuse(set, f.notAFile ? RefusedShardFile::Kind::notAFile : RefusedShardFile::Kind::unreadable, f, f.problem);
        return set;
    }
    set.run = run ? *run : commonRun(files);
    sortIntoSet(set, files);
    return set;
}

std::vector<std::string> shardSetProblems(const ShardSet& set)
{
    std::vector<std::string> problems;
    if (!set.folderProblem.empty()) problems.push_back(set.folderProblem);
    for (const RefusedShardFile& f : set.refused) problems.push_back(shown(f.path) + ": " + f.reason);
    const std::string of = " of " + std::to_string(set.run.shards);
    forEachRange(set.missing, [&](uint32_t first, uint32_t last) {
        if (first == last)
            problems.push_back("shard " + std::to_string(first) + of + " is missing (no complete " +
                               shown(shardFileName(first, set.run.shards)) + ")");
        else
            problems.push_back("shards " + std::to_string(first) + "-" + std::to_string(last) + of + " are missing");
    });
    return problems;
}

MergeOutcome mergeShards(const std::u16string& folder, const std::u16string& logParent)
{
    MergeOutcome out;
    const ShardSet set = readShardSet(folder);
    out.problems = shardSetProblems(set);
    if (out.problems.empty()) writeMergedLog(set, logParent, out);
    return out;
}

PendingShards pendingShards(const std::u16string& folder, const ShardedRun& run)
{
    PendingShards pending;
    if (fileKind(folder) == FileKind::none) {
        // Nothing has run yet: the shards make the folder.
        for (uint32_t i = 0; i < run.shards; ++i) pending.indices.push_back(i);
        return pending;
    }
    const ShardSet set = readShardSet(folder, &run);
    if (!set.folderProblem.empty()) pending.problems.push_back(set.folderProblem);
    pending.indices = set.missing;
    for (const RefusedShardFile& f : set.refused) {
        // A broken file under a pending shard's own name is replaced when that
        // shard runs; a folder or a pipe there is not.
        const bool replaced = f.kind == RefusedShardFile::Kind::unreadable &&
                              std::any_of(set.missing.begin(), set.missing.end(), [&](uint32_t i) {
                                  return f.path == pathInFolder(folder, shardFileName(i, run.shards));
                              });
        if (!replaced) pending.problems.push_back(shown(f.path) + ": " + f.reason);
    }
    return pending;
}

std::string indexRanges(const std::vector<uint32_t>& indices)
{
    std::string text;
    forEachRange(indices, [&text](uint32_t first, uint32_t last) {
        if (!text.empty()) text += ",";
        text += std::to_string(first);
        if (last > first) text += "-" + std::to_string(last);
    });
    return text;
}

}  // namespace orvane
