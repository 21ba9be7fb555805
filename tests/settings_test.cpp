// The settings file: its exact bytes, the round trip, and hand-edited or
// damaged files that must load without harm.
#include "tests/runs_fixture.h"
#include "ui/settings.h"
#include <algorithm>
#include <climits>
#include <vector>

using namespace runs_testing;

namespace {
std::string utf16le(const std::u16string& text, bool mark = true)
{
    std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

const std::vector<int32_t> normalPlacement = {44, 0, 1, -1, -1, -1, -1, 8, 16, 408, 516};

// A placement from its eleven lines' values, and back.
WindowPlacement placementOf(const std::vector<int32_t>& lines)
{
    WindowPlacement p;
    for (size_t i = 0; i < lines.size(); ++i) p.*placementLines[i] = lines[i];
    return p;
}

std::vector<int32_t> linesOf(const WindowPlacement& p)
{
    std::vector<int32_t> lines;
    for (int32_t WindowPlacement::*line : placementLines) lines.push_back(p.*line);
    return lines;
}
const std::u16string exampleText = u"1a2b\r\n500\r\n\r\n44\r\n0\r\n1\r\n-1\r\n-1\r\n-1\r\n-1\r\n8\r\n16\r\n408\r\n516\r\n";

class SettingsTest : public RunsTest {
protected:
    Settings settings;
    FieldTexts& fields = session.fields;

    void SetUp() override
    {
        RunsTest::SetUp();
        settings.path = settingsPathBesideExecutable();
    }

    void load(const std::string& bytes)
    {
        loadSettingsFromBytes(settings, fields, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    void save() { saveSettings(settings, fields); }
    void loadFile() { loadSettings(settings, fields); }

    std::vector<int32_t> placement() const { return linesOf(settings.windowPlacement); }
    bool placementUsable() const { return settings.placementLoaded; }
    std::u16string seedText() const { return fields.seedText; }
    std::u16string nodeCountText() const { return fields.nodeCountText; }
    std::u16string mapCountText() const { return fields.mapCountText; }
};

TEST_F(SettingsTest, PathIsTheExecutablesWithIniForItsExtension)
{
    EXPECT_EQ(settings.path, (folder / "orvane.ini").u16string());
    headlessSetExecutablePath(u"/opt/v1.2/orvane");
    EXPECT_EQ(settingsPathBesideExecutable(), u"/opt/v1.2/orvane.ini");
    headlessSetExecutablePath(u"/opt/orvane.tar.exe");
    EXPECT_EQ(settingsPathBesideExecutable(), u"/opt/orvane.tar.ini");
}

TEST_F(SettingsTest, SaveWritesTheFourteenLinesInOneUtf16File)
{
    writeControlText(idSeedField, u"1a2b");
    writeControlText(idNodeField, u"500");
    writeControlText(idMapCountField, u"");
    WindowPlacement placementWithoutLength = placementOf(normalPlacement);
    placementWithoutLength.length = 0;  // the length is always written as 44
    headlessSetWindowPlacement(placementWithoutLength);
    save();
    EXPECT_EQ(readFile(folder / "orvane.ini"), utf16le(exampleText));
    EXPECT_FALSE(fs::exists(folder / "orvane.ini.part"));
}

TEST_F(SettingsTest, LoadGivesBackWhatSaveWrote)
{
    writeControlText(idSeedField, u"ffffffff");
    writeControlText(idNodeField, u"10000");
    writeControlText(idMapCountField, u"1000000");
    const std::vector<int32_t> maximised = {44, 2, 3, -32000, -32000, -8, -8, INT32_MIN + 1, -20, 1900, INT32_MAX};
    headlessSetWindowPlacement(placementOf(maximised));
    save();
    fields = FieldTexts{};
    settings.placementLoaded = false;
    settings.windowPlacement = {};
    loadFile();
    EXPECT_EQ(seedText(), u"ffffffff");
    EXPECT_EQ(nodeCountText(), u"10000");
    EXPECT_EQ(mapCountText(), u"1000000");
    EXPECT_TRUE(placementUsable());
    EXPECT_EQ(placement(), maximised);
}

TEST_F(SettingsTest, MissingFileKeepsTheDefaults)
{
    loadFile();
    EXPECT_EQ(seedText(), u"");
    EXPECT_FALSE(placementUsable());
    EXPECT_EQ(placement(), std::vector<int32_t>(11, 0));
}

TEST_F(SettingsTest, IntegerLinesReadAsSignedDecimalWithLimits)
{
    load(utf16le(u"a\nb\nc\n 44\n+12\n12abc\n\n-7\n99999999999\n-99999999999\n0\n0\n10\n10\n"));
    EXPECT_TRUE(placementUsable());
    EXPECT_EQ(placement(), (std::vector<int32_t>{44, 12, 12, 0, -7, INT32_MAX, INT32_MIN, 0, 0, 10, 10}));
}

TEST_F(SettingsTest, EncodingsByMark)
{
    const std::string plain(reinterpret_cast<const char*>(u8"１a2b\r\n500\r\n7\r\n44\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n8\r\n16\r\n408\r\n516\r\n"));
    load("\xEF\xBB\xBF" + plain);  // UTF-8 with its mark
    EXPECT_EQ(seedText(), u"１a2b");
    EXPECT_TRUE(placementUsable());
    load(utf16le(exampleText, false));  // no mark: UTF-16LE
    EXPECT_EQ(nodeCountText(), u"500");
    EXPECT_EQ(placement(), normalPlacement);
}

TEST_F(SettingsTest, ShortOrImplausibleFilesGiveTextsButNoPlacement)
{
    const struct { const char16_t* text; const char* why; } cases[] = {
        {u"1a2b\n500\n\n44\n0\n1\n-1\n-1\n-1\n-1\n8\n16\n408\n", "thirteen lines"},
        {u"1a2b\n500\n\n40\n0\n1\n-1\n-1\n-1\n-1\n8\n16\n408\n516\n", "wrong length"},
        {u"1a2b\n500\n\n44\n0\n1\n-1\n-1\n-1\n-1\n8\n16\n8\n516\n", "empty rectangle"},
        {u"1a2b\n500\n\n44\n0\n1\n-1\n-1\n-1\n-1\n8\n516\n408\n16\n", "upside down"},
        // A line over 31 units comes in two pieces and pushes the last one out.
        {u"1a2b\n500\n0123456789012345678901234567890123456789\n44\n0\n1\n-1\n-1\n-1\n-1\n8\n16\n408\n516\n",
         "long line"},
    };
    for (const auto& c : cases) {
        load(utf16le(c.text));
        EXPECT_EQ(seedText(), u"1a2b") << c.why;
        EXPECT_EQ(nodeCountText(), u"500") << c.why;
        EXPECT_FALSE(placementUsable()) << c.why;
        EXPECT_EQ(placement(), std::vector<int32_t>(11, 0)) << c.why;
    }
    load(utf16le(u"only a seed"));
    EXPECT_EQ(seedText(), u"only a seed");
    EXPECT_EQ(nodeCountText(), u"");
}

TEST_F(SettingsTest, TextLinesAreCutToFifteenUnits)
{
    load(utf16le(u"0123456789abcd\n0123456789abcde\n0123456789abcdef\n44\n0\n1\n0\n0\n0\n0\n8\n16\n408\n516\n"));
    EXPECT_EQ(seedText(), u"0123456789abcd");
    EXPECT_EQ(nodeCountText(), u"0123456789abcde");
    EXPECT_EQ(mapCountText(), u"0123456789abcde");
    EXPECT_TRUE(placementUsable());
    // A surrogate pair is not cut in half.
    load(utf16le(u"01234567890123\U0001F600x\n"));
    EXPECT_EQ(seedText(), u"01234567890123");
    // ... at either end of the low range (U+10000, U+10FFFF); a 16th unit just
    // outside it (a high surrogate, or U+E000) leaves fifteen.
    load(utf16le(u"01234567890123\U00010000x\n"));
    EXPECT_EQ(seedText(), u"01234567890123");
    load(utf16le(u"01234567890123\U0010FFFFx\n"));
    EXPECT_EQ(seedText(), u"01234567890123");
    load(utf16le(u"012345678901234\U0010FFFF\n"));
    EXPECT_EQ(seedText(), u"012345678901234");
    load(utf16le(u"012345678901234\xE000\n"));
    EXPECT_EQ(seedText(), u"012345678901234");
}

// Lines are read as a wide line read with a 32-unit buffer reads them: a line
// of 30 units and its line feed come in whole; one of 31 fills the buffer and
// its line feed comes as an empty line of its own, shifting every line after
// it. The zeros in front of the placement's length show where the cut falls.
TEST_F(SettingsTest, LinesAreReadAsAThirtyTwoUnitBufferReadsThem)
{
    const std::u16string rest = u"\n0\n1\n0\n0\n0\n0\n8\n16\n408\n516\n";
    for (const auto& [zeros, bottom] : {std::pair{27, 516}, {28, 516}, {29, 408}}) {
        SCOPED_TRACE(zeros);
        load(utf16le(u"1a2b\n500\n7\n" + std::u16string(static_cast<size_t>(zeros), u'0') + u"44" + rest));
        ASSERT_TRUE(placementUsable());
        EXPECT_EQ(placement()[0], 44);
        EXPECT_EQ(placement()[10], bottom);
    }
    load(utf16le(u"1a2b\n" + std::u16string(30, u'5') + u"\n7\n44" + rest));
    EXPECT_EQ(nodeCountText(), std::u16string(15, u'5'));
    EXPECT_EQ(mapCountText(), u"7");
    EXPECT_TRUE(placementUsable());
    load(utf16le(u"1a2b\n" + std::u16string(31, u'5') + u"\n7\n44" + rest));
    EXPECT_EQ(mapCountText(), u"");
    EXPECT_FALSE(placementUsable());
    load(utf16le(u"1a2b\n" + std::u16string(31, u'5') + u"6\n7\n44" + rest));
    EXPECT_EQ(mapCountText(), u"6");
    EXPECT_FALSE(placementUsable());
}

TEST_F(SettingsTest, BinaryJunkLoadsWithoutHarm)
{
    uint32_t state = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<size_t>(round * 7 % 600), '\0');
        for (char& b : bytes) b = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
        if (round % 3 == 0) bytes.insert(0, "\xFF\xFE");
        if (round % 3 == 1) bytes.insert(0, "\xEF\xBB\xBF");
        load(bytes);
        for (const std::u16string& text : {seedText(), nodeCountText(), mapCountText()})
            EXPECT_LT(text.size(), 16u);
        if (!placementUsable()) {
            EXPECT_EQ(placement(), std::vector<int32_t>(11, 0));
        }
    }
}

TEST_F(SettingsTest, NoFileBesideATooLongExecutablePath)
{
    headlessSetExecutablePath((folder / std::string(5000, 'd') / "orvane.exe").u16string());
    settings.path = settingsPathBesideExecutable();
    EXPECT_TRUE(settings.path.empty());
    writeControlText(idSeedField, u"1");
    save();
    loadFile();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 0);
}

TEST_F(SettingsTest, UnwritableFileLeavesThePreviousOne)
{
    { std::ofstream(folder / "orvane.ini", std::ios::binary) << "previous"; }
    settings.path = (folder / "missing" / "orvane.ini").u16string();
    save();
    EXPECT_EQ(readFile(folder / "orvane.ini"), "previous");
    EXPECT_FALSE(fs::exists(folder / "missing"));
}
}  // namespace
