// The seed and count text parsers on arbitrary UTF-16 text: no fault, and the
// values they give stay within their rules.
#include "runs/runs.h"
#include <cstdlib>
#include <string>

namespace {
void check(bool condition)
{
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const uint32_t seed = parseSeedText(text.c_str());
    const int32_t count = parseCountText(text.c_str());

    // A seed shown as eight digits reads back as the same seed.
    char16_t shown[16];
    formatSeed(seed, shown);
    check(parseSeedText(shown) == seed);
    // A count shown in decimal reads back as the same count.
    formatDecimal(count, shown);
    check(parseCountText(shown) == count);
    const int32_t nodes = clampCount(count, leastNodes, mostNodes);
    check(nodes >= leastNodes && nodes <= mostNodes);
    check(clampCount(count, 1, 1000000) >= 1);
    return 0;
}
