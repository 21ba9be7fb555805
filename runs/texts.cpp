// Seed and count text rules, shared number formatting and paths beside the executable.
#include "runs/texts.h"
#include "platform/platform.h"
#include <cstdio>

namespace orvane {

namespace {
bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

const char16_t* skipSpaceAndSign(const char16_t* p, bool& negative)
{
    while (isSpace(*p)) ++p;
    negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    return p;
}
}  // namespace

uint32_t parseSeedText(const char16_t* text)
{
    bool negative;
    const char16_t* p = skipSpaceAndSign(text, negative);
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && hexDigit(p[2]) >= 0) p += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (int d; (d = hexDigit(*p)) >= 0; ++p) {
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu) overflow = true, value = 0xFFFFFFFFu;
    }
    if (overflow) return 0xFFFFFFFFu;
    return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(value)) : static_cast<uint32_t>(value);
}

int32_t parseCountText(const char16_t* text)
{
    bool negative;
    const char16_t* p = skipSpaceAndSign(text, negative);
    int64_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + (*p - u'0');
        if (value > 2147483648LL) value = 2147483648LL;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    return static_cast<int32_t>(value);
}

int32_t clampCount(int32_t value, int32_t least, int32_t most)
{
    return value <= least ? least : value > most ? most : value;
}

std::u16string seedDigits(uint32_t seed)
{
    static const char digits[] = "0123456789abcdef";
    std::u16string out(8, u'0');
    for (int i = 0; i < 8; ++i) out[static_cast<size_t>(i)] = static_cast<char16_t>(digits[(seed >> (28 - 4 * i)) & 0xF]);
    return out;
}

std::u16string decimalText(int64_t value)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    std::u16string out;
    for (const char* c = buf; *c; ++c) out += static_cast<char16_t>(*c);
    return out;
}

void copyText(char16_t* buffer, int capacity, const std::u16string& text)
{
    if (capacity <= 0) return;
    const int n = static_cast<int>(text.size()) < capacity - 1 ? static_cast<int>(text.size()) : capacity - 1;
    for (int i = 0; i < n; ++i) buffer[i] = text[static_cast<size_t>(i)];
    buffer[n] = 0;
}

std::u16string pathBesideExecutable(const std::u16string& name)
{
    std::u16string path = executablePath();
    const size_t cut = path.find_last_of(u"/\\");
    if (path.empty() || cut == std::u16string::npos) return {};
    path.resize(cut + 1);
    path += name;
    return path.size() > maxPathUnits ? std::u16string() : path;
}

}  // namespace orvane
