// Export content and the export file: records, bytes, and failures that leave
// nothing behind.
#include "engine/work.h"
#include "map/builder.h"
#include "map/map.h"
#include "runs/export.h"
#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>

using namespace orvane;
namespace fs = std::filesystem;

namespace {
// ASCII text as the file holds it: UTF-16LE, every line feed as CR LF, after the BOM.
std::string fileBytes(const std::string& text)
{
    std::string out("\xFF\xFE", 2);
    for (const char c : text) {
        if (c == '\n') out.append("\r\0", 2);
        out += c;
        out += '\0';
    }
    return out;
}

std::string readWhole(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string u16(const fs::path& p)
{
    const std::string s = p.string();
    return std::u16string(s.begin(), s.end());
}

class ExportFile : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("orvane-export-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Nodes 1..5; 3 borders the other four, its list from the head 2, 4, 1, 5.
    static std::shared_ptr<const Map> handMap(bool firstHasBorders = true)
    {
        MapAssembly parts;
        parts.sites = {{0, 32767}, {0x100, 0xabc}, {0x1a2b, 0x0c3d}, {1, 2}, {32767, 0}};
        parts.links = {{2}, {2}, {1, 3, 0, 4}, {2}, {2}};
        if (!firstHasBorders) parts.links = {{}, {2}, {1, 3, 4}, {2}, {2}};
        return parts.assemble();
    }
    static void paint(Colouring& colouring, std::initializer_list<int> colours)
    {
        NodeIndex v = 0;
        for (const int c : colours) ColouringAccess::work(colouring).fields.hot[v++].colour = colourCode(c);
    }
};
}  // namespace

TEST_F(ExportFile, RecordsInNumberOrderWithPaddingAndLetters)
{
    Colouring colouring(handMap());
    paint(colouring, {0, 3, 1, 4, 5});
    EXPECT_EQ(exportContent(colouring), fileBytes("[ ]    1 (0000,7fff) 3\n"
                                                  "[Y]    2 (0100,0abc) 3\n"
                                                  "[R]    3 (1a2b,0c3d) 1,2,4,5\n"
                                                  "[B]    4 (0001,0002) 3\n"
                                                  "[*]    5 (7fff,0000) 3\n"));
    // The map exports as built, uncoloured, whatever its colourings do.
    EXPECT_EQ(exportContent(colouring.map()).substr(0, fileBytes("[ ]    1 (0000,7fff) 3\n[ ]").size()),
              fileBytes("[ ]    1 (0000,7fff) 3\n[ ]"));
    const std::string largest = exportText(*Map::build(1, 10000));
    EXPECT_NE(largest.find("\n[ ]10000 ("), std::string::npos);
}

// After a colouring the node list runs out of number order (the set-aside
// nodes come last), and set-aside nodes are missing while they are set aside:
// the records stay in number order all the same.
TEST_F(ExportFile, AColouringExportsItsListedNodesInNumberOrder)
{
    Colouring colouring(Map::build(77, 300));
    colouring.step(false);  // preparation sets nodes aside
    const std::string partWay = exportText(colouring);
    const size_t listed = static_cast<size_t>(std::count(partWay.begin(), partWay.end(), '\n'));
    EXPECT_LT(listed, 300u);
    colouring.run();
    const std::string text = exportText(colouring);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 300);
    std::vector<int> numbers;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) numbers.push_back(std::stoi(text.substr(at + 3, 5)));
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(numbers.front(), 1);
    EXPECT_EQ(numbers.back(), 300);
    NodeIndex last = colouring.firstListed();
    while (colouring.nextListed(last) != noNode) last = colouring.nextListed(last);
    EXPECT_NE(colouring.map().number(last), 300);  // the list itself is out of number order
}

TEST_F(ExportFile, NodeWithoutBordersStillEndsItsLine)
{
    const auto map = handMap(false);  // node 1 has no border
    EXPECT_EQ(exportContent(*map).substr(0, fileBytes("[ ]    1 (0000,7fff) \n[ ]").size()),
              fileBytes("[ ]    1 (0000,7fff) \n[ ]"));
}

TEST_F(ExportFile, ThreeNodeMapUncoloured)
{
    const auto map = Map::build(1, 3);
    const std::string expected = fileBytes("[ ]    1 (4ae1,3d6c) 2,3\n"
                                           "[ ]    2 (18be,6784) 1,3\n"
                                           "[ ]    3 (0029,4823) 1,2\n");
    EXPECT_EQ(exportContent(*map), expected);
    EXPECT_EQ(exportContent(Colouring(map)), expected);
    const fs::path target = folder / "00000001(3).txt";
    ASSERT_EQ(writeExportFile(*map, u16(target)), 0);
    EXPECT_EQ(readWhole(target), expected);
    // Exporting again replaces the file whole.
    const auto five = Map::build(1, 5);
    ASSERT_EQ(writeExportFile(*five, u16(target)), 0);
    EXPECT_EQ(readWhole(target), exportContent(*five));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ExportFile, LargerMapListsEveryBorderTwice)
{
    const auto map = Map::build(77, 300);
    const std::string content = exportContent(*map);
    size_t lines = 0, commas = 0;
    for (size_t i = 2; i + 1 < content.size(); i += 2) {
        lines += content[i] == '\n';
        commas += content[i] == ',';
    }
    EXPECT_EQ(lines, 300u);
    // Each record: one comma between its coordinates, k - 1 between its k neighbours.
    EXPECT_EQ(commas, 2 * map->borders().size());
}

TEST_F(ExportFile, FailuresWriteNothing)
{
    const fs::path target = folder / "map.txt";
    const Map empty;
    EXPECT_NE(writeExportFile(empty, u16(target)), 0);  // no map
    EXPECT_NE(writeExportFile(Colouring(nullptr), u16(target)), 0);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(exportContent(empty), std::string("\xFF\xFE", 2));

    const Map map = *Map::build(1, 5);
    const fs::path missing = folder / "no-such-folder" / "map.txt";
    EXPECT_EQ(writeExportFile(map, u16(missing)), ENOENT);
    EXPECT_FALSE(fs::exists(missing.parent_path()));
    EXPECT_NE(writeExportFile(map, u""), 0);

    // A folder in the file's place: the write fails and leaves no temporary file.
    const fs::path blocked = folder / "taken.txt";
    fs::create_directories(blocked / "inside");
    EXPECT_EQ(writeExportFile(map, u16(blocked)), EISDIR);
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
