// The shard file reader on arbitrary bytes: no fault, and whatever it accepts
// is whole and consistent, no longer than its first lines say it can be, and
// written out again gives the very same bytes.
// Besides raw text, an input whose first byte is odd edits a good shard file
// (pairs of position and byte), so that the fuzzer reaches the checks deep
// inside a file without first finding the whole format by chance.
#include <cstdlib>
#include <string>
#include "runs/shard.h"

namespace {
using namespace orvane;

void check(bool condition)
{
    if (!condition) std::abort();
}

const std::string& goodShardText()
{
    static const std::string text = [] {
        ShardRecord r;
        r.run = {0xfffffff0u, 200, 40, 3};
        r.index = 1;
        r.slice = shardSlice(r.run, 1);
        r.jobs = 2;
        r.start = {{2026, 12, 7, 22, 45, 30}, 1796640330123};
        r.end = {{2026, 12, 7, 22, 46, 1}, 1796640361004};
        r.tally = {10, 3, 5200, 142800};
        r.failed = {{0xfffffffeu, 4}, {0x1, 0xfffb}, {0x9, 11}};
        return shardFileText(r);
    }();
    return text;
}

std::string editedShardText(const uint8_t* data, size_t size)
{
    std::string text = goodShardText();
    for (size_t i = 1; i + 1 < size; i += 2) {
        const size_t at = data[i] % (text.size() + 1);
        if (at == text.size()) text.push_back(static_cast<char>(data[i + 1]));
        else if (data[i + 1] == 0) text.erase(at, 1);
        else text[at] = static_cast<char>(data[i + 1]);
    }
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = size > 0 && (data[0] & 1) ? editedShardText(data, size)
                                                        : std::string(reinterpret_cast<const char*>(data), size);
    ShardRecord record;
    std::string problem;
    if (!readShardText(text, record, problem)) {
        check(!problem.empty());
        return 0;
    }
    check(shardFileText(record) == text);
    // Its first lines bound it: the merge never refuses a good file as too long.
    uint64_t most = 0;
    std::string why;
    check(shardFileLimit(text.substr(0, shardHeadBytes), most, why) && text.size() <= most);
    const BatchTally& t = record.tally;
    check(t.successes + t.failures == record.slice.maps);
    check(t.failures == record.failed.size());
    check(record.index < record.run.shards && record.slice.maps <= record.run.maps);
    check(record.end.epochMs >= record.start.epochMs);
    for (const FailedMap& m : record.failed) check(m.result != 0);
    return 0;
}
