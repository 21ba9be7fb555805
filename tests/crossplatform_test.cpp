// The same seeds give the same maps, colourings, step traces and pictures on
// every build: digests recorded from the Linux build, checked here natively and
// in the Windows build under Wine. Set ORVANE_RECORD_DIGESTS=1 to rewrite them.
//
// Each line of the digest file reads "seed nodes map coloured trace picture
// steps verify". This program checks every field but the picture; the picture
// digest is checked (and recorded) by picture_digest_test.cpp, which reads the
// same file, so that this program needs no drawing code. Recording here keeps
// the picture fields already in the file.
#include <gtest/gtest.h>
#include "tests/digest_file.h"
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace orvane;

namespace {
using namespace digest_testing;

struct Case { uint32_t seed; int nodes; };
// Small, odd and largest maps; the stepped trace is kept to the smaller ones.
const Case cases[] = {
    {0x00000000, 3},    {0x00000001, 4},    {0x0000001a, 7},    {0xffffffff, 12},   {0x00001a2b, 60},
    {0xdeadbeef, 150},  {0x00c0ffee, 300},  {0x12345678, 600},  {0x0badf00d, 1000}, {0x7fffffff, 2500},
    {0x00001a2b, 5000}, {0x89abcdef, 10000},
};
constexpr int tracedUpTo = 2500;

struct Digests {
    uint64_t map, coloured, trace;
    long steps;
    int verify;
};

Digests digestsOf(const Case& c)
{
    Digests d{};
    const std::shared_ptr<const Map> map = Map::build(c.seed, c.nodes);
    Colouring colouring(map);
    d.map = fnv1a(exportContent(*map));
    if (c.nodes <= tracedUpTo) {
        const TraceSummary s = stepToEnd(colouring);
        d.trace = s.digest;
        d.steps = s.steps;
        d.verify = s.verify;
        colouring.restart();
    }
    const uint16_t verify = colouring.run();
    if (c.nodes > tracedUpTo) d.verify = verify;
    d.coloured = fnv1a(exportContent(colouring));
    return d;
}

std::string lineOf(const Case& c, const Digests& d, const std::string& picture)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "%08x %d %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %s %ld %d",
                  static_cast<unsigned>(c.seed), c.nodes, d.map, d.coloured, d.trace, picture.c_str(), d.steps,
                  d.verify);
    return buf;
}

// The recorded picture digest of each (seed, nodes) field pair.
std::map<std::pair<std::string, std::string>, std::string> recordedPictures(const std::vector<std::string>& lines)
{
    std::map<std::pair<std::string, std::string>, std::string> pictures;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = fieldsOf(line);
        if (f.size() == fieldCount) pictures[{f[0], f[1]}] = f[pictureField];
    }
    return pictures;
}

TEST(CrossPlatform, MapsColouringsAndTracesMatchTheRecordedDigests)
{
    const std::vector<std::string> recorded = digestLines(false);
    const auto pictures = recordedPictures(recorded);
    std::vector<std::string> computed;
    for (const Case& c : cases) {
        char seed[16], nodes[16];
        std::snprintf(seed, sizeof seed, "%08x", static_cast<unsigned>(c.seed));
        std::snprintf(nodes, sizeof nodes, "%d", c.nodes);
        const auto picture = pictures.find({seed, nodes});
        // The picture is not computed here: the recorded one stands in for it.
        computed.push_back(
            lineOf(c, digestsOf(c), picture != pictures.end() ? picture->second : std::string(16, '0')));
    }

    const char* record = std::getenv("ORVANE_RECORD_DIGESTS");
    if (record && *record == '1') {
        FILE* f = std::fopen(digestFile, "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("# seed nodes map coloured trace picture steps verify\n", f);
        for (const std::string& line : computed) std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
        GTEST_SKIP() << "digests recorded (run the picture digest test to record the pictures)";
    }
    ASSERT_EQ(recorded.size(), computed.size()) << "cannot read " << digestFile;
    for (size_t i = 0; i < computed.size(); ++i) EXPECT_EQ(computed[i], recorded[i]);
}

// Every colouring of the list succeeds: a digest of a wrong colouring would not help.
TEST(CrossPlatform, RecordedColouringsAreCorrect)
{
    const std::vector<std::string> lines = digestLines(false);
    ASSERT_FALSE(lines.empty()) << "cannot read " << digestFile;
    for (const std::string& line : lines) EXPECT_EQ(line.substr(line.rfind(' ')), " 0") << line;
}
}  // namespace
