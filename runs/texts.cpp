// Seed and count text rules, shared number formatting and paths beside the executable.
#include "runs/runs.h"
#include "platform/platform.h"

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

#ifdef _WIN32
constexpr size_t maxPathUnits = 259;  // MAX_PATH less the terminator
#else
constexpr size_t maxPathUnits = 4095;
#endif
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

void formatSeed(uint32_t seed, char16_t* out)
{
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char16_t>(digits[(seed >> (28 - 4 * i)) & 0xF]);
    out[8] = 0;
}

void formatDecimal(int32_t value, char16_t* out)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    int i = 0;
    for (; buf[i]; ++i) out[i] = static_cast<char16_t>(buf[i]);
    out[i] = 0;
}

std::u16string toUtf16(const char* ascii)
{
    std::u16string s;
    while (*ascii) s += static_cast<char16_t>(static_cast<unsigned char>(*ascii++));
    return s;
}

std::string toAscii(const std::u16string& text)
{
    std::string s;
    for (char16_t c : text) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
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
