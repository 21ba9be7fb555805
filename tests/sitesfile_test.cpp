// The sites file's text rules, the bounded reading of the file, and the name
// a map from a sites file goes by.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include "runs/export.h"
#include "runs/sitesfile.h"
#include "text/utf.h"
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace orvane;
namespace fs = std::filesystem;

namespace {
std::vector<std::pair<int, int>> pairs(const SitesFile& f)
{
    std::vector<std::pair<int, int>> out;
    for (const Point& p : f.sites) out.push_back({p.x, p.y});
    return out;
}

std::string problemOf(const std::string& text)
{
    SitesFile f;
    const std::string problem = readSitesText(text, f);
    if (!problem.empty()) {
        EXPECT_TRUE(f.sites.empty() && f.lines.empty()) << "nothing is kept from a bad file";
    }
    return problem;
}
}  // namespace

TEST(SitesText, CommentsBlankLinesSeparatorsAndLineEnds)
{
    SitesFile f;
    const std::string text = "# a triangle and its centre\n"
                             "\n"
                             "1000 1000\r\n"
                             "  31000\t1000   # the second\n"
                             "16000,30000\n"
                             "\t\n"
                             "16000 ,  11000\n"
                             "0 32767";  // no line end at the end
    ASSERT_EQ(readSitesText(text, f), "");
    EXPECT_EQ(pairs(f), (std::vector<std::pair<int, int>>{{1000, 1000}, {31000, 1000}, {16000, 30000}, {16000, 11000},
                                                           {0, 32767}}));
    EXPECT_EQ(f.lines, (std::vector<int>{3, 4, 5, 7, 8}));
    // Byte-order marks: UTF-8, and UTF-16LE as the program's own files are written.
    ASSERT_EQ(readSitesText("\xEF\xBB\xBF" "5 6\n", f), "");
    EXPECT_EQ(pairs(f), (std::vector<std::pair<int, int>>{{5, 6}}));
    ASSERT_EQ(readSitesText(std::string("\xFF\xFE" "7\0 \0" "8\0\r\0\n\0", 12), f), "");
    EXPECT_EQ(pairs(f), (std::vector<std::pair<int, int>>{{7, 8}}));
    ASSERT_EQ(readSitesText("", f), "");
    EXPECT_TRUE(f.sites.empty());
    // Nine digits are read as they are: the square is checked with the rest of the sites.
    ASSERT_EQ(readSitesText("999999999 00012\n", f), "");
    EXPECT_EQ(pairs(f), (std::vector<std::pair<int, int>>{{999999999, 12}}));
}

TEST(SitesText, AMalformedLineIsNamedAndNothingIsKept)
{
    EXPECT_EQ(problemOf("1 2\n3 4\n5\n"), "line 3: expected two whole numbers 'x y', found '5'");
    EXPECT_EQ(problemOf("1 2 3\n"), "line 1: expected two whole numbers 'x y', found '1 2 3'");
    EXPECT_EQ(problemOf("1,,2\n"), "line 1: expected two whole numbers 'x y', found '1,,2'");
    EXPECT_EQ(problemOf("1.5 2\n"), "line 1: expected two whole numbers 'x y', found '1.5 2'");
    EXPECT_EQ(problemOf("0x10 2\n"), "line 1: expected two whole numbers 'x y', found '0x10 2'");
    EXPECT_EQ(problemOf("12a 2\n"), "line 1: expected two whole numbers 'x y', found '12a 2'");
    EXPECT_EQ(problemOf("\n\n-3 4\n"), "line 3: coordinates are whole numbers from 0 to 32767, without a sign: '-3 4'");
    EXPECT_EQ(problemOf("3 +4\n"), "line 1: coordinates are whole numbers from 0 to 32767, without a sign: '3 +4'");
    EXPECT_EQ(problemOf("1 1234567890\n"),
              "line 1: a number of 10 digits; coordinates run from 0 to 32767: '1 1234567890'");
    // Bytes that are not text are shown escaped, and a long line is cut.
    EXPECT_EQ(problemOf(std::string("1 2\x00\x1b[31m\n", 9)),
              "line 1: expected two whole numbers 'x y', found '1 2\\x00\\x1b[31m'");
    EXPECT_EQ(problemOf("1 2\r3 4\n"), "line 1: expected two whole numbers 'x y', found '1 2\\x0d3 4'");
    EXPECT_EQ(problemOf(std::string(100, '7') + "\n"),
              "line 1: a number of 100 digits; coordinates run from 0 to 32767: '" + std::string(40, '7') + "...'");
    EXPECT_NE(problemOf(std::string("\xFF\xFE" "1\0 \0\xe9\0", 8)).find("UTF-16"), std::string::npos);
    EXPECT_NE(problemOf("\xFF\xFE" "1").find("UTF-16"), std::string::npos);
}

TEST(SitesFileReading, OnlyARegularFileOfBoundedSize)
{
    const fs::path folder = fs::temp_directory_path() / ("orvane-sites-test-" + std::to_string(std::random_device{}()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).u16string();
    };
    SitesFile f;
    int error = -1;
    EXPECT_EQ(readSitesFile(write("ok.txt", "1 2\n3 4\n5 6\n"), f, error), "");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(f.sites.size(), 3u);
    EXPECT_EQ(readSitesFile(write("big.txt", std::string(mostSitesFileBytes + 1, '\n')), f, error),
              "it is larger than 4 MiB; the sites of a map (at most 10000) take far less");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(readSitesFile(write("full.txt", std::string(mostSitesFileBytes, '\n')), f, error), "");
    EXPECT_EQ(readSitesFile(folder.u16string(), f, error), "it is a folder, not a sites file");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(readSitesFile((folder / "missing.txt").u16string(), f, error), "it does not exist");
    EXPECT_NE(error, 0);
#ifndef _WIN32
    // A pipe is refused before it is opened (opening it would wait for a writer).
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_NE(readSitesFile((folder / "pipe").u16string(), f, error).find("not a regular file"), std::string::npos);
    EXPECT_NE(readSitesFile(u"/dev/zero", f, error).find("not a regular file"), std::string::npos);
    EXPECT_EQ(error, 0);
#endif
    fs::remove_all(folder);
}

TEST(SitesFileName, TheMapIsNamedAfterTheFile)
{
    EXPECT_EQ(sitesMapName(u"maps/lesson 3.sites"), u"lesson 3");
    EXPECT_EQ(sitesMapName(u"C:\\maps\\grid.v2.txt"), u"grid.v2");
    EXPECT_EQ(sitesMapName(u"grid"), u"grid");
    EXPECT_EQ(sitesMapName(u".hidden"), u".hidden");
    EXPECT_EQ(sitesMapName(u"-"), u"stdin");
    EXPECT_EQ(sitesMapName(u"dir/"), u"sites");
    EXPECT_EQ(sitesMapName(u"../.."), u"sites");
    EXPECT_EQ(sitesMapName(u"a:b*c?\"<>|\x01.txt"), u"a_b_c______");
    EXPECT_EQ(sitesMapName(std::u16string(100, u'x') + u".txt"), std::u16string(64, u'x'));
    EXPECT_EQ(exportFileName(u"lesson 3", 12), u"lesson 3(12).txt");
}
