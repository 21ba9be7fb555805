// The seed and count text parsers and the UTF-8 <-> UTF-16 pair on arbitrary
// input: no fault, and the values they give stay within their rules.
#include <cstdlib>
#include <string>
#include "map/map.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace {
using namespace orvane;

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
    check(parseSeedText(seedDigits(seed).c_str()) == seed);
    // A count shown in decimal reads back as the same count.
    check(parseCountText(decimalText(count).c_str()) == count);
    const int32_t nodes = clampCount(count, leastNodes, mostNodes);
    check(nodes >= leastNodes && nodes <= mostNodes);
    check(clampCount(count, 1, 1000000) >= 1);

    // Any bytes decode; the decoded text encodes and decodes again unchanged.
    const std::u16string decoded = utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    check(utf8ToUtf16(utf16ToUtf8(decoded)) == decoded);
    // Any UTF-16 encodes to UTF-8 that decodes without loss of well-formed units.
    check(utf8ToUtf16(utf16ToUtf8(text)).size() <= text.size());
    return 0;
}
