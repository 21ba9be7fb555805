// UTF-8 <-> UTF-16 conversion. Ill-formed input never aborts a conversion:
// it is replaced with U+FFFD so that the rest of the text survives intact.
#include "text/utf.h"

#include <cstdint>

namespace orvane {

namespace {

constexpr char16_t replacementUnit = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::u16string utf8ToUtf16(std::string_view bytes)
{
    std::u16string out;
    // Every byte yields at most one UTF-16 unit (a 4-byte sequence yields two).
    out.reserve(bytes.size());

    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }

        // Sequence length and the permitted range of the second byte. The
        // narrowed ranges after E0, ED, F0 and F4 are what rule out overlong
        // forms, encoded surrogates and values above U+10FFFF, so those are
        // rejected at the second byte and the subpart is just the lead byte.
        size_t length;
        unsigned char lo = 0x80, hi = 0xBF;
        char32_t cp;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            if (lead == 0xE0) lo = 0xA0;
            else if (lead == 0xED) hi = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            if (lead == 0xF0) lo = 0x90;
            else if (lead == 0xF4) hi = 0x8F;
        } else {
            // Stray continuation byte, C0/C1 or F5..FF: can never start a sequence.
            out.push_back(replacementUnit);
            ++i;
            continue;
        }

        size_t k = 1;
        for (; k < length && i + k < n; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if (k == 1 ? (b < lo || b > hi) : !isContinuation(b)) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (k < length) {
            // Truncated or interrupted: one replacement for the maximal subpart,
            // then resume at the byte that broke it (or end of input).
            out.push_back(replacementUnit);
            i += k;
            continue;
        }

        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    // Worst case is three bytes per unit (BMP above U+07FF, or U+FFFD for a
    // lone surrogate); a surrogate pair is four bytes for two units.
    out.reserve(text.size() * 3);

    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t unit = text[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            appendUtf8(out, unit);
        } else if (unit <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const char32_t low = text[++i];
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            // Lone high, lone low, or a low preceding a high: the unit is
            // replaced alone and the next unit is examined afresh.
            appendUtf8(out, replacementUnit);
        }
    }
    return out;
}

bool isUtf8(std::string_view bytes)
{
    return utf16ToUtf8(utf8ToUtf16(bytes)) == bytes;
}

std::string utf16LeFileBytes(std::u16string_view text)
{
    std::string bytes("\xFF\xFE", 2);
    bytes.reserve(2 + 2 * text.size());
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::u16string utf16LeText(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

} // namespace orvane
