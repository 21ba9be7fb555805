// The sites file reader on arbitrary bytes: no fault; what it accepts, written
// out plainly, reads back the same; and the sites it gives (at most 64 of
// them) go through the checks, the builder and the check after the build
// without a fault, a map coming out only with every check passed.
// Besides raw text, an input whose first byte is odd is read as sites in
// binary (2 bytes a coordinate, cut to a small range, or mirrored to hug the
// square's far edges, as the second byte says), written as a sites file: so
// the fuzzer also reaches the builder with crowded, collinear, cocircular and
// nearly axis-parallel sets.
#include <cstdlib>
#include <string>
#include "map/sites.h"
#include "runs/sitesfile.h"

namespace {
using namespace orvane;

void check(bool condition)
{
    if (!condition) std::abort();
}

std::string sitesFromBinary(const uint8_t* data, size_t size)
{
    const uint8_t style = size > 1 ? data[1] : 0;
    const int masks[4] = {0x7fff, 0x00ff, 0x000f, 0x0003};
    const int mask = masks[style & 3];
    std::string text = "# binary\n";
    for (size_t i = 2; i + 3 < size; i += 4) {
        int x = ((data[i] << 8) | data[i + 1]) & mask;
        int y = ((data[i + 2] << 8) | data[i + 3]) & mask;
        if (style & 4) x = 32767 - x;
        if (style & 8) y = 32767 - y;
        if ((style & 16) && (i & 4)) std::swap(x, y);
        text += std::to_string(x) + (style & 32 ? "," : " ") + std::to_string(y) + "\n";
    }
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = size > 0 && (data[0] & 1) ? sitesFromBinary(data, size)
                                                        : std::string(reinterpret_cast<const char*>(data), size);
    SitesFile file;
    const std::string problem = readSitesText(text, file);
    if (!problem.empty()) {
        check(file.sites.empty() && file.lines.empty());
        return 0;
    }
    check(file.sites.size() == file.lines.size());
    std::string plain;
    for (size_t i = 0; i < file.sites.size(); ++i) {
        check(file.sites[i].x >= 0 && file.sites[i].x <= 999999999 && file.sites[i].y >= 0 &&
              file.sites[i].y <= 999999999);
        check(file.lines[i] >= 1 && (i == 0 || file.lines[i] > file.lines[i - 1]));
        plain += std::to_string(file.sites[i].x) + " " + std::to_string(file.sites[i].y) + "\n";
    }
    SitesFile again;
    check(readSitesText(plain, again).empty() && again.sites.size() == file.sites.size());
    for (size_t i = 0; i < file.sites.size(); ++i)
        check(again.sites[i].x == file.sites[i].x && again.sites[i].y == file.sites[i].y);

    if (file.sites.size() > 64) return 0;
    std::shared_ptr<const Map> map;
    const SiteProblem p = buildMapFromSites(map, file.sites);
    if (p) {
        check(map == nullptr);
        check(!Map::buildFromSites(file.sites));
        check(!describeSiteProblem(p, file.sites, [](int i) { return std::to_string(i); }).empty());
        return 0;
    }
    check(map != nullptr && map->nodeCount() == static_cast<int>(file.sites.size()));
    check(!checkBuiltMap(*map));
    return 0;
}
