// The shard file: plain ASCII text, one "key value" line each, LF line ends,
// in a fixed order, closed by the line "complete". Numbers are written one
// way only (seeds as 8 lower-case hexadecimal digits, counts in decimal
// without leading zeros), and the reader takes nothing else, so a file it
// accepts is exactly the file the writer makes of what it read.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string_view>
#include "runs/shard.h"

namespace orvane {

namespace {
constexpr std::string_view versionLine = "orvane shard file 1";
constexpr std::string_view completeLine = "complete";
constexpr std::string_view completeEnding = "\ncomplete\n";
// "failed SEED RESULT" at its longest: the result "-32768".
constexpr uint64_t longestFailedLine = 23;
// A map's build or colouring time is the difference of two readings of a
// 32-bit millisecond clock: a slice's sums can be no more than this per map.
constexpr uint64_t mostMsPerMap = 0xFFFFFFFFu;
// Local time runs ahead of or behind UTC by at most 14 hours in any time zone;
// the two readings of a WallTime are taken a moment apart.
constexpr int64_t mostZoneOffsetSeconds = 15 * 3600;

std::string hex8(uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08" PRIx32, value);
    return buf;
}

std::string timeText(const WallTime& t)
{
    const LocalTime& l = t.local;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d %" PRId64 ".%03" PRId64, l.year, l.month, l.day,
                  l.hour, l.minute, l.second, t.epochMs / 1000, t.epochMs % 1000);
    return buf;
}

// The line-by-line reading of a shard file; each step gives false after
// setting the problem, naming the line.
class ShardReader {
public:
    ShardReader(const std::string& text, std::string& problem) : text_(text), problem_(problem) {}

    // The next line, which must start with `key` and a space; `value` is the rest.
    bool field(std::string_view key, std::string_view& value)
    {
        std::string_view line;
        if (!nextLine(line)) return fail("ends before its '" + std::string(key) + "' line");
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ')
            return fail("expected '" + std::string(key) + " ...', found '" + shown(line) + "'");
        value = line.substr(key.size() + 1);
        return true;
    }

    bool exactLine(std::string_view expected)
    {
        std::string_view line;
        if (nextLine(line) && line == expected) return true;
        return fail("expected '" + std::string(expected) + "', found '" + shown(line) + "'");
    }

    bool decimal(std::string_view key, uint64_t least, uint64_t most, uint64_t& value)
    {
        std::string_view text;
        if (!field(key, text)) return false;
        if (!parseDecimal(text, value) || value < least || value > most)
            return fail(std::string(key) + " must be a whole number from " + std::to_string(least) + " to " +
                        std::to_string(most) + ", not '" + shown(text) + "'");
        return true;
    }

    bool seed(std::string_view key, uint32_t& value)
    {
        std::string_view text;
        return field(key, text) && parseSeed(text, value, key);
    }

    bool time(std::string_view key, WallTime& t)
    {
        std::string_view text;
        if (!field(key, text)) return false;
        if (!parseTime(text, t))
            return fail(std::string(key) + " must be 'YYYY-MM-DD hh:mm:ss SECONDS.mmm' with a real date and time, not '" +
                        shown(text) + "'");
        const int64_t offset = localSeconds(t.local) - t.epochMs / 1000;
        if (offset > mostZoneOffsetSeconds || offset < -mostZoneOffsetSeconds)
            return fail(std::string(key) + "'s local time and seconds since 1970 are " + std::to_string(offset / 3600) +
                        " hours apart, more than any time zone's offset, in '" + shown(text) + "'");
        return true;
    }

    // "failed SEED RESULT"
    bool failedMap(FailedMap& m)
    {
        std::string_view text;
        if (!field("failed", text)) return false;
        const size_t space = text.find(' ');
        if (space == std::string_view::npos) return fail("failed needs a seed and a result, not '" + shown(text) + "'");
        if (!parseSeed(text.substr(0, space), m.seed, "failed")) return false;
        int64_t result = 0;
        if (!parseSigned(text.substr(space + 1), result) || result == 0 || result < -32768 || result > 32767)
            return fail("a failed map's result must be a number from -32768 to 32767 other than 0, not '" +
                        shown(text.substr(space + 1)) + "'");
        m.result = static_cast<uint16_t>(static_cast<int16_t>(result));
        return true;
    }

    bool atEnd() const { return at_ == text_.size(); }
    size_t position() const { return at_; }
    bool fail(const std::string& what)
    {
        problem_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }

private:
    bool nextLine(std::string_view& line)
    {
        ++line_;
        if (at_ >= text_.size()) return false;
        const size_t end = text_.find('\n', at_);
        if (end == std::string::npos) return false;
        line = std::string_view(text_).substr(at_, end - at_);
        at_ = end + 1;
        return true;
    }

    // A line as a message may show it: printable ASCII, at most 60 characters.
    static std::string shown(std::string_view line)
    {
        std::string s;
        for (const char c : line.substr(0, 60)) s += c >= 0x20 && c < 0x7f ? c : '?';
        return line.size() > 60 ? s + "..." : s;
    }

    static bool parseDecimal(std::string_view text, uint64_t& value)
    {
        if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return false;
        value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') return false;
            const uint64_t digit = static_cast<uint64_t>(c - '0');
            if (value > (UINT64_MAX - digit) / 10) return false;
            value = value * 10 + digit;
        }
        return true;
    }

    static bool parseSigned(std::string_view text, int64_t& value)
    {
        const bool negative = !text.empty() && text[0] == '-';
        uint64_t magnitude = 0;
        if (!parseDecimal(negative ? text.substr(1) : text, magnitude) || magnitude > INT64_MAX) return false;
        if (negative && magnitude == 0) return false;  // "-0" is written "0"
        value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        return true;
    }

    bool parseSeed(std::string_view text, uint32_t& value, std::string_view key)
    {
        bool ok = text.size() == 8;
        value = 0;
        for (const char c : text) {
            const bool digit = c >= '0' && c <= '9', letter = c >= 'a' && c <= 'f';
            ok = ok && (digit || letter);
            value = value * 16 + static_cast<uint32_t>(digit ? c - '0' : letter ? c - 'a' + 10 : 0);
        }
        if (!ok) return fail(std::string(key) + " must be 8 hexadecimal digits (0-9, a-f), not '" + shown(text) + "'");
        return true;
    }

    static int daysInMonth(int year, int month)
    {
        if (month < 1 || month > 12) return 31;  // the month itself is refused
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return month == 2 && leap ? 29 : days[month - 1];
    }

    // The local time read as if it were UTC, in seconds since 1970.
    static int64_t localSeconds(const LocalTime& l)
    {
        // Days from 1970-01-01 in the proleptic Gregorian calendar, years from March on.
        const int64_t y = l.year - (l.month <= 2 ? 1 : 0);
        const int64_t era = y / 400, yearOfEra = y - era * 400;
        const int64_t dayOfYear = (153 * (l.month + (l.month > 2 ? -3 : 9)) + 2) / 5 + l.day - 1;
        const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        const int64_t days = era * 146097 + dayOfEra - 719468;
        return days * 86400 + l.hour * 3600 + l.minute * 60 + l.second;
    }

    // Digits of fixed width at `at`, in least..most.
    static bool fixedNumber(std::string_view text, size_t at, size_t width, int least, int most, int& value)
    {
        value = 0;
        for (size_t i = 0; i < width; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        return value >= least && value <= most;
    }

    static bool parseTime(std::string_view text, WallTime& t)
    {
        // "YYYY-MM-DD hh:mm:ss " is 20 characters; then SECONDS.mmm.
        constexpr std::string_view pattern = "0000-00-00 00:00:00 ";
        if (text.size() < pattern.size() + 5) return false;
        for (size_t i = 0; i < pattern.size(); ++i)
            if ((pattern[i] == '0') != (text[i] >= '0' && text[i] <= '9') || (pattern[i] != '0' && text[i] != pattern[i]))
                return false;
        LocalTime& l = t.local;
        if (!fixedNumber(text, 0, 4, 1, 9999, l.year) || !fixedNumber(text, 5, 2, 1, 12, l.month) ||
            !fixedNumber(text, 8, 2, 1, daysInMonth(l.year, l.month), l.day) ||
            !fixedNumber(text, 11, 2, 0, 23, l.hour) || !fixedNumber(text, 14, 2, 0, 59, l.minute) ||
            !fixedNumber(text, 17, 2, 0, 59, l.second))
            return false;
        const std::string_view epoch = text.substr(pattern.size());
        const size_t dot = epoch.size() - 4;
        uint64_t seconds = 0;
        int millis = 0;
        if (epoch[dot] != '.' || !parseDecimal(epoch.substr(0, dot), seconds) || seconds > 999999999999999ULL ||
            !fixedNumber(epoch, dot + 1, 3, 0, 999, millis))
            return false;
        t.epochMs = static_cast<int64_t>(seconds) * 1000 + millis;
        return true;
    }

    const std::string& text_;
    std::string& problem_;
    size_t at_ = 0;
    int line_ = 0;
};

// The run, the shard and its slice.
bool readShardLines(ShardReader& in, ShardRecord& r)
{
    uint64_t nodes = 0, shards = 0, index = 0, jobs = 0;
    if (!in.exactLine(versionLine) || !in.seed("seed", r.run.firstSeed) ||
        !in.decimal("nodes", leastNodes, mostNodes, nodes) || !in.decimal("maps", 1, mostShardedMaps, r.run.maps) ||
        !in.decimal("shards", 1, mostShards, shards) || !in.decimal("shard", 0, shards - 1, index) ||
        !in.seed("slice-first", r.slice.firstSeed) || !in.decimal("slice-maps", 0, r.run.maps, r.slice.maps) ||
        !in.decimal("jobs", 1, 64, jobs))
        return false;
    r.run.nodes = static_cast<int32_t>(nodes);
    r.run.shards = static_cast<uint32_t>(shards);
    r.index = static_cast<uint32_t>(index);
    r.slice.offset = shardSlice(r.run, r.index).offset;
    r.jobs = static_cast<int>(jobs);
    return true;
}

// The times, counts and sums.
bool readTallyLines(ShardReader& in, ShardRecord& r)
{
    if (!in.time("start", r.start) || !in.time("end", r.end)) return false;
    if (r.end.epochMs < r.start.epochMs) return in.fail("the shard ends before it starts");
    BatchTally& t = r.tally;
    if (!in.decimal("successes", 0, r.slice.maps, t.successes) || !in.decimal("failures", 0, r.slice.maps, t.failures))
        return false;
    if (t.successes + t.failures != r.slice.maps)
        return in.fail("successes and failures add up to " + std::to_string(t.successes + t.failures) +
                       ", not to the slice's " + std::to_string(r.slice.maps) + " maps");
    const uint64_t mostMs = r.slice.maps * mostMsPerMap;
    return in.decimal("map-ms", 0, mostMs, t.mapMs) && in.decimal("colour-ms", 0, mostMs, t.colourMs);
}

// The first carriage return, as the fault of its line: shard files end their lines with LF alone.
bool noCarriageReturn(const std::string& text, std::string& problem)
{
    const size_t at = text.find('\r');
    if (at == std::string::npos) return true;
    const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n')) + 1;
    const bool crlf = at + 1 < text.size() && text[at + 1] == '\n';
    problem = "line " + std::to_string(line) +
              (crlf ? " ends with CR LF, not LF alone: the file was converted to Windows line ends on its way here; "
                      "copy it again unchanged, or run the shard again"
                    : " holds a carriage return: not a shard file's line");
    return false;
}

// The failed maps: as many as the failures line says, inside the slice, in seed order.
bool readFailedMaps(ShardReader& in, ShardRecord& r)
{
    uint64_t lastOffset = 0;
    for (uint64_t i = 0; i < r.tally.failures; ++i) {
        FailedMap m;
        if (!in.failedMap(m)) return false;
        const uint64_t offset = static_cast<uint32_t>(m.seed - r.slice.firstSeed);
        if (offset >= r.slice.maps) return in.fail("failed seed " + hex8(m.seed) + " lies outside the shard's slice");
        if (i > 0 && offset <= lastOffset) return in.fail("failed seed " + hex8(m.seed) + " is out of seed order");
        lastOffset = offset;
        r.failed.push_back(m);
    }
    return true;
}
}  // namespace

std::string shardFileText(const ShardRecord& r)
{
    std::string t;
    t.reserve(400 + 20 * r.failed.size());
    const auto line = [&t](std::string_view key, const std::string& value) {
        t.append(key).append(" ").append(value).append("\n");
    };
    t.append(versionLine).append("\n");
    line("seed", hex8(r.run.firstSeed));
    line("nodes", std::to_string(r.run.nodes));
    line("maps", std::to_string(r.run.maps));
    line("shards", std::to_string(r.run.shards));
    line("shard", std::to_string(r.index));
    line("slice-first", hex8(r.slice.firstSeed));
    line("slice-maps", std::to_string(r.slice.maps));
    line("jobs", std::to_string(r.jobs));
    line("start", timeText(r.start));
    line("end", timeText(r.end));
    line("successes", std::to_string(r.tally.successes));
    line("failures", std::to_string(r.tally.failures));
    line("map-ms", std::to_string(r.tally.mapMs));
    line("colour-ms", std::to_string(r.tally.colourMs));
    for (const FailedMap& m : r.failed) line("failed", hex8(m.seed) + " " + std::to_string(static_cast<int16_t>(m.result)));
    t.append(completeLine).append("\n");
    return t;
}

bool readShardText(const std::string& text, ShardRecord& record, std::string& problem)
{
    record = ShardRecord{};
    if (!noCarriageReturn(text, problem)) return false;
    if (!text.ends_with(completeEnding)) {
        problem = "incomplete: it does not end with the line 'complete' (cut short, or still being written)";
        return false;
    }
    ShardReader in(text, problem);
    if (!readShardLines(in, record) || !readTallyLines(in, record) || !readFailedMaps(in, record) ||
        !in.exactLine(completeLine))
        return false;
    if (!in.atEnd()) return in.fail("more lines after 'complete'");
    return true;
}

bool shardFileLimit(const std::string& head, uint64_t& most, std::string& problem)
{
    ShardRecord r;
    ShardReader in(head, problem);
    if (!noCarriageReturn(head, problem) || !readShardLines(in, r) || !readTallyLines(in, r)) return false;
    most = in.position() + r.tally.failures * longestFailedLine + completeLine.size() + 1;
    return true;
}

}  // namespace orvane
