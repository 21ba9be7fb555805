// The map page drawn for the recorded seeds gives the same SVG picture on every
// build. Reads the digest file of crossplatform_test.cpp ("seed nodes map
// coloured trace picture steps verify"): each map is built, coloured to the end
// and drawn at 800 x 600, and the picture field is checked. The coloured field
// is checked as well, so that a picture mismatch is not a colouring mismatch in
// disguise. With ORVANE_RECORD_DIGESTS=1 the picture fields are rewritten and
// every other field is kept.
#include <gtest/gtest.h>
#include "tests/digest_file.h"
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include "ui/view.h"
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace orvane;

namespace {
using namespace digest_testing;
constexpr ViewSize pictureSize{800, 600};

std::string hex16(uint64_t v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, v);
    return buf;
}

struct Drawn {
    std::string coloured, picture;
};

// The map of (seed, nodes) coloured to the end, as the window shows it then.
Drawn draw(uint32_t seed, int nodes)
{
    Colouring colouring(Map::build(seed, nodes));
    colouring.run();
    return {hex16(fnv1a(exportContent(colouring))), hex16(fnv1a(mapPageSvg(colouring, pictureSize)))};
}

TEST(PictureDigests, MapPagesMatchTheRecordedPictures)
{
    const char* record = std::getenv("ORVANE_RECORD_DIGESTS");
    const bool recording = record && *record == '1';
    std::vector<std::string> lines = digestLines(true);
    int checked = 0;
    for (std::string& line : lines) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = fieldsOf(line);
        ASSERT_EQ(f.size(), fieldCount) << line;
        SCOPED_TRACE("seed " + f[0] + " nodes " + f[1]);
        const Drawn d = draw(static_cast<uint32_t>(std::stoul(f[0], nullptr, 16)), std::stoi(f[1]));
        ++checked;
        if (!recording) {
            EXPECT_EQ(d.coloured, f[colouredField]);
            EXPECT_EQ(d.picture, f[pictureField]);
            continue;
        }
        f[pictureField] = d.picture;
        line.clear();
        for (size_t k = 0; k < f.size(); ++k) line += (k ? " " : "") + f[k];
    }
    ASSERT_GT(checked, 0) << "cannot read " << digestFile;
    if (recording) {
        FILE* out = std::fopen(digestFile, "wb");
        ASSERT_NE(out, nullptr);
        for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
        GTEST_SKIP() << "picture digests recorded";
    }
}
}  // namespace
