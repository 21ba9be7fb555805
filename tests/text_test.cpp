// UTF-8 <-> UTF-16 conversion: exact round trips for well-formed text, and
// U+FFFD substitution for ill-formed input in either direction.
#include <gtest/gtest.h>
#include "text/utf.h"

#include <string>
#include <string_view>

using namespace orvane;
using namespace std::string_literals;
using namespace std::string_view_literals;

namespace {
constexpr char16_t R = 0xFFFD;
const std::string replacementBytes = "\xEF\xBF\xBD";

// Assumes well-formed input; checks both directions and the trip back.
void expectPair(std::string_view utf8, std::u16string_view utf16)
{
    EXPECT_EQ(utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(utf16ToUtf8(utf16), utf8);
}
} // namespace

// ---------------------------------------------------------------------------

TEST(Utf, EmptyInputGivesEmptyOutput)
{
    EXPECT_TRUE(utf8ToUtf16("").empty());
    EXPECT_TRUE(utf16ToUtf8(u"").empty());
}

TEST(Utf, AsciiRoundTripsUnchanged)
{
    expectPair("Four colours suffice. 0123 ~!@#\t\n\x7F", u"Four colours suffice. 0123 ~!@#\t\n\x7F");
}

TEST(Utf, JapaneseRoundTripsExactly)
{
    // 成 is U+6210, encoded E6 88 90.
    expectPair("\xE6\x88\x90", u"成");
    for (std::u16string_view s : {u"成功＼(^o^)／"sv, u"失敗（´Д`）"sv}) {
        const std::string bytes = utf16ToUtf8(s);
        EXPECT_EQ(utf8ToUtf16(bytes), s);
        EXPECT_EQ(bytes.find(replacementBytes), std::string::npos);
    }
}

TEST(Utf, SupplementaryCharacterUsesSurrogatePair)
{
    // U+1F600 is D83D DE00 in UTF-16 and F0 9F 98 80 in UTF-8.
    expectPair("\xF0\x9F\x98\x80", u"\U0001F600");
    expectPair("a\xF0\x9F\x98\x80z", u"a\xD83D\xDE00z");
}

TEST(Utf, EncodingBoundariesConvertExactly)
{
    expectPair("\x7F", u"\x7F");
    expectPair("\xC2\x80", u"\x80");
    expectPair("\xDF\xBF", u"\x7FF");
    expectPair("\xE0\xA0\x80", u"\x800");
    expectPair("\xED\x9F\xBF", u"\xD7FF");
    expectPair("\xEE\x80\x80", u"\xE000");
    expectPair("\xEF\xBF\xBF", u"\xFFFF");
    expectPair("\xF0\x90\x80\x80", u"\U00010000");
    expectPair("\xF4\x8F\xBF\xBF", u"\U0010FFFF");
}

TEST(Utf, EveryScalarValueRoundTrips)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::u16string units;
        if (cp < 0x10000) {
            units.push_back(static_cast<char16_t>(cp));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        const std::string bytes = utf16ToUtf8(units);
        const size_t expectedLength = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expectedLength) << std::hex << static_cast<uint32_t>(cp);
        ASSERT_EQ(utf8ToUtf16(bytes), units) << std::hex << static_cast<uint32_t>(cp);
    }
}

TEST(Utf, EmbeddedNulIsKeptInBothDirections)
{
    expectPair("a\0b"s, u"a\0b"s);
    expectPair("\0"s, u"\0"s);
    EXPECT_EQ(utf8ToUtf16("\xE6\x88\0"s), u"\xFFFD\0"s);
}

// ---------------------------------------------------------------------------
// Ill-formed UTF-8: one U+FFFD per maximal ill-formed subpart.

TEST(MalformedUtf8, StrayContinuationBytesEachBecomeOneReplacement)
{
    EXPECT_EQ(utf8ToUtf16("\x80"), std::u16string(1, R));
    EXPECT_EQ(utf8ToUtf16("a\x80\xBF" "b"), u"a\xFFFD\xFFFD" "b");
    // A complete sequence followed by an extra continuation byte.
    EXPECT_EQ(utf8ToUtf16("\xC3\xA9\xA9"), u"\xE9\xFFFD");
}

TEST(MalformedUtf8, TruncatedSequenceBecomesOneReplacement)
{
    // At the end of input.
    EXPECT_EQ(utf8ToUtf16("ab\xC3"), u"ab\xFFFD");
    EXPECT_EQ(utf8ToUtf16("ab\xE6\x88"), u"ab\xFFFD");
    EXPECT_EQ(utf8ToUtf16("ab\xF0\x9F\x98"), u"ab\xFFFD");
    // In the middle, cut short by an ASCII byte, which is then kept.
    EXPECT_EQ(utf8ToUtf16("a\xE6\x88z"), u"a\xFFFDz");
    EXPECT_EQ(utf8ToUtf16("a\xF0\x9F\x98z"), u"a\xFFFDz");
    // Cut short by the lead byte of a well-formed sequence, which survives.
    EXPECT_EQ(utf8ToUtf16("\xE6\x88\xE6\x88\x90"), u"\xFFFD成");
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\xF0\x9F\x98\x80"), u"\xFFFD\U0001F600");
}

TEST(MalformedUtf8, OverlongEncodingReplacesEachByte)
{
    // C0/C1 can only start overlong two-byte forms.
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC1\xBF"), u"\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC0\x80"), u"\xFFFD\xFFFD"); // not a NUL
    // E0 80..9F and F0 80..8F are overlong, so the lead byte is the whole subpart.
    EXPECT_EQ(utf8ToUtf16("\xE0\x80\xAF"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xE0\x9F\xBF"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xF0\x80\x80\xAF"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xF0\x8F\xBF\xBF"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
}

TEST(MalformedUtf8, EncodedSurrogateReplacesEachByte)
{
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xED\xBF\xBF"), u"\xFFFD\xFFFD\xFFFD");
    // A CESU-style encoded pair must not be glued into a real character.
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\xBD\xED\xB8\x80"), std::u16string(6, R));
}

TEST(MalformedUtf8, ValueAboveUnicodeRangeReplacesEachByte)
{
    EXPECT_EQ(utf8ToUtf16("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(utf8ToUtf16("\xF4\xBF\xBF\xBF"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
}

TEST(MalformedUtf8, BytesThatNeverStartASequenceEachBecomeOneReplacement)
{
    for (int b = 0xF5; b <= 0xFF; ++b) {
        const std::string input = "a"s + static_cast<char>(b) + "\x80\x80" + "z";
        EXPECT_EQ(utf8ToUtf16(input), u"a\xFFFD\xFFFD\xFFFDz") << std::hex << b;
    }
}

TEST(MalformedUtf8, MixedInputMatchesUnicodeReferenceExample)
{
    // The worked example from the Unicode Standard's U+FFFD substitution practice.
    EXPECT_EQ(utf8ToUtf16("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"),
              u"\x61\xFFFD\xFFFD\xFFFD\x62\xFFFD\x63\xFFFD\xFFFD\x64");
}

TEST(MalformedUtf8, ArbitraryBytesDecodeToWellFormedText)
{
    // Every two-byte input (and a trailing third byte) must yield UTF-16 that
    // re-encodes without any lone surrogate, i.e. converts back losslessly.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string input{static_cast<char>(a), static_cast<char>(b), '\x80'};
            const std::u16string decoded = utf8ToUtf16(input);
            ASSERT_LE(decoded.size(), input.size());
            ASSERT_EQ(utf8ToUtf16(utf16ToUtf8(decoded)), decoded) << a << ' ' << b;
        }
    }
}

// Names are refused unless well-formed: each edge of the well-formed ranges
// on both sides.
TEST(MalformedUtf8, WellFormedIsToldFromIllFormedAtEachEdge)
{
    for (const char* good : {"", "a", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                             "\xEE\x80\x80", "\xEF\xBF\xBD", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                             "\xE3\x83\xAD\xE3\x82\xB0"})
        EXPECT_TRUE(isUtf8(good)) << good;
    for (const char* bad : {"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
                            "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "d\xFF",
                            "\xE3\x83"})
        EXPECT_FALSE(isUtf8(bad)) << bad;
    EXPECT_TRUE(isUtf8(std::string_view("a\0b", 3)));
}

// UTF-16 files: the mark, then low byte first; read back with or without the
// mark, an odd last byte dropped.
TEST(Utf16Files, BytesCarryTheMarkAndReadBackWithOrWithoutIt)
{
    const std::u16string text = u"\x30ED\x30B0\r\n\xD83D\xDE00";
    const std::string bytes = utf16LeFileBytes(text);
    EXPECT_EQ(bytes, std::string("\xFF\xFE\xED\x30\xB0\x30\r\0\n\0\x3D\xD8\x00\xDE", 14));
    EXPECT_EQ(utf16LeText(bytes), text);
    EXPECT_EQ(utf16LeText(bytes.substr(2)), text);
    EXPECT_EQ(utf16LeText(bytes + "x"), text);
    EXPECT_EQ(utf16LeText(""), u"");
    EXPECT_EQ(utf16LeFileBytes(u""), std::string("\xFF\xFE", 2));
}

// ---------------------------------------------------------------------------
// Ill-formed UTF-16: each unpaired surrogate becomes EF BF BD.

TEST(MalformedUtf16, LoneHighSurrogateAtEndBecomesOneReplacement)
{
    EXPECT_EQ(utf16ToUtf8(u"ab\xD83D"sv), "ab" + replacementBytes);
    EXPECT_EQ(utf16ToUtf8(u"\xDBFF"sv), replacementBytes);
}

TEST(MalformedUtf16, LoneHighSurrogateBeforeNonSurrogateKeepsTheNextUnit)
{
    EXPECT_EQ(utf16ToUtf8(u"\xD83Dz"sv), replacementBytes + "z");
    EXPECT_EQ(utf16ToUtf8(u"\xD83D\x6210"sv), replacementBytes + "\xE6\x88\x90");
    // Two highs in a row then a low: the first is lone, the second pairs.
    EXPECT_EQ(utf16ToUtf8(u"\xD83D\xD83D\xDE00"sv), replacementBytes + "\xF0\x9F\x98\x80");
}

TEST(MalformedUtf16, LoneLowSurrogateBecomesOneReplacement)
{
    EXPECT_EQ(utf16ToUtf8(u"\xDE00"sv), replacementBytes);
    EXPECT_EQ(utf16ToUtf8(u"a\xDC00z"sv), "a" + replacementBytes + "z");
}

// Each end of both surrogate ranges, and the units just outside them: D7FF
// and E000 are characters, D800..DBFF open a pair only before DC00..DFFF.
TEST(MalformedUtf16, SurrogateRangesAtBothEnds)
{
    EXPECT_EQ(utf16ToUtf8(u"\xD7FF"sv), "\xED\x9F\xBF");
    EXPECT_EQ(utf16ToUtf8(u"\xE000"sv), "\xEE\x80\x80");
    for (const char16_t lone : {u'\xD800', u'\xDBFF', u'\xDC00', u'\xDFFF'}) {
        SCOPED_TRACE(static_cast<int>(lone));
        EXPECT_EQ(utf16ToUtf8(std::u16string{lone}), replacementBytes);
        EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', lone, u'z'}), "a" + replacementBytes + "z");
    }
    // The four corners of a pair: U+10000, U+103FF, U+10FC00, U+10FFFF.
    EXPECT_EQ(utf16ToUtf8(u"\xD800\xDC00"sv), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf16ToUtf8(u"\xD800\xDFFF"sv), "\xF0\x90\x8F\xBF");
    EXPECT_EQ(utf16ToUtf8(u"\xDBFF\xDC00"sv), "\xF4\x8F\xB0\x80");
    EXPECT_EQ(utf16ToUtf8(u"\xDBFF\xDFFF"sv), "\xF4\x8F\xBF\xBF");
    // A high unit before a unit just outside the low range stays alone.
    EXPECT_EQ(utf16ToUtf8(u"\xDBFF\xDBFF"sv), replacementBytes + replacementBytes);
    EXPECT_EQ(utf16ToUtf8(u"\xD800\xE000"sv), replacementBytes + "\xEE\x80\x80");
    EXPECT_EQ(utf16ToUtf8(u"\xDBFF\xD7FF"sv), replacementBytes + "\xED\x9F\xBF");
    // A low unit never opens a pair, even before another low one.
    EXPECT_EQ(utf16ToUtf8(u"\xDC00\xDC00"sv), replacementBytes + replacementBytes);
    EXPECT_EQ(utf16ToUtf8(u"\xDFFF\xDFFF"sv), replacementBytes + replacementBytes);
}

TEST(MalformedUtf16, SwappedPairBecomesTwoReplacements)
{
    EXPECT_EQ(utf16ToUtf8(u"\xDE00\xD83D"sv), replacementBytes + replacementBytes);
    EXPECT_EQ(utf16ToUtf8(u"\xDE00\xD83D\xDE00"sv), replacementBytes + "\xF0\x9F\x98\x80");
}
