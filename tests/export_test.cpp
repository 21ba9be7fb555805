// Export content and the export file: records, bytes, and failures that leave
// nothing behind.
#include "map/map.h"
#include "runs/export.h"
#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <fstream>
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
    Map map;
    MapNode* hand = nullptr;

    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("orvane-export-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    void link(MapNode* owner, MapNode* to)
    {
        NodeLink* l = map.newLink();
        l->node = to;
        l->next = owner->links;
        owner->links = l;
    }
    // Nodes 3, 7, 12, 15, 40, listed out of order; 12 borders the other four.
    void makeHandMap()
    {
        hand = map.allocateNodes(5);
        const int numbers[5] = {15, 12, 40, 3, 7};
        const int xy[5][2] = {{1, 2}, {0x1a2b, 0x0c3d}, {32767, 0}, {0, 32767}, {0x100, 0xabc}};
        for (int i = 0; i < 5; ++i) {
            hand[i].number = static_cast<int16_t>(numbers[i]);
            hand[i].x = xy[i][0];
            hand[i].y = xy[i][1];
            hand[i].next = i < 4 ? &hand[i + 1] : nullptr;
        }
        for (MapNode* n : {&hand[2], &hand[3], &hand[0], &hand[4]}) {  // links 7, 15, 3, 40 from the head
            link(&hand[1], n);
            link(n, &hand[1]);
        }
        hand[1].colour = colourR;
        map.nodeList = &hand[0];
    }
};
}  // namespace

TEST_F(ExportFile, RecordsInNumberOrderWithPaddingAndLetters)
{
    makeHandMap();
    hand[0].colour = colourB;
    hand[2].colour = colourBlocked;
    hand[4].colour = colourY;
    EXPECT_EQ(exportContent(map), fileBytes("[ ]    3 (0000,7fff) 12\n"
                                            "[Y]    7 (0100,0abc) 12\n"
                                            "[R]   12 (1a2b,0c3d) 3,7,15,40\n"
                                            "[B]   15 (0001,0002) 12\n"
                                            "[*]   40 (7fff,0000) 12\n"));
    hand[1].colour = colourG;
    hand[1].number = 10000;
    EXPECT_NE(exportContent(map).find(fileBytes("[G]10000 (").substr(2)), std::string::npos);
}

TEST_F(ExportFile, NodeWithoutBordersStillEndsItsLine)
{
    makeHandMap();
    hand[3].links = nullptr;  // node 3 loses its only border (the record stays with the map)
    EXPECT_EQ(exportContent(map).substr(0, fileBytes("[ ]    3 (0000,7fff) \n[Y]").size()),
              fileBytes("[ ]    3 (0000,7fff) \n[ ]"));
}

TEST_F(ExportFile, ThreeNodeMapUncoloured)
{
    map.build(1, 3);
    const std::string expected = fileBytes("[ ]    1 (4ae1,3d6c) 2,3\n"
                                           "[ ]    2 (18be,6784) 1,3\n"
                                           "[ ]    3 (0029,4823) 1,2\n");
    EXPECT_EQ(exportContent(map), expected);
    const fs::path target = folder / "00000001(3).txt";
    ASSERT_EQ(writeExportFile(map, u16(target)), 0);
    EXPECT_EQ(readWhole(target), expected);
    // Exporting again replaces the file whole.
    map.build(1, 5);
    ASSERT_EQ(writeExportFile(map, u16(target)), 0);
    EXPECT_EQ(readWhole(target), exportContent(map));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ExportFile, LargerMapListsEveryBorderTwice)
{
    map.build(77, 300);
    const std::string content = exportContent(map);
    size_t lines = 0, commas = 0;
    for (size_t i = 2; i + 1 < content.size(); i += 2) {
        lines += content[i] == '\n';
        commas += content[i] == ',';
    }
    EXPECT_EQ(lines, 300u);
    // Each record: one comma between its coordinates, k - 1 between its k neighbours.
    size_t borders = 0;
    for (const MapNode* n = map.nodeList; n; n = n->next)
        for (const NodeLink* l = n->links; l; l = l->next) borders += n->number < l->node->number;
    EXPECT_EQ(commas, 2 * borders);
}

TEST_F(ExportFile, FailuresWriteNothing)
{
    const fs::path target = folder / "map.txt";
    EXPECT_NE(writeExportFile(map, u16(target)), 0);  // no map
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(exportContent(map), std::string("\xFF\xFE", 2));

    map.build(1, 5);
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
