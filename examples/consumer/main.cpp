// Builds and colours a few maps through the installed library and prints, for
// each, what the companion's colour command prints, plus the first export
// record and the size of the map picture; then builds a seeded map again from
// its sites, and refuses sites that give no map.
#include <cstdio>
#include <string>
#include <vector>
#include <orvane/orvane.h>

int main()
{
    const struct {
        uint32_t seed;
        int nodes;
    } maps[] = {{0x1, 8}, {0x1a2b, 300}, {0xbeef, 5000}};
    for (const auto& m : maps) {
        const std::shared_ptr<const orvane::Map> map = orvane::Map::build(m.seed, m.nodes);
        orvane::Colouring colouring(map);
        const orvane::TraceSummary trace = orvane::stepToEnd(colouring);
        const std::string text = orvane::exportText(colouring);
        const std::string svg = orvane::mapPageSvg(colouring, {800, 600});
        std::printf("seed=%08x nodes=%d verify=%d steps=%ld digest=%016llx borders=%zu\n", m.seed, m.nodes,
                    trace.verify, trace.steps, static_cast<unsigned long long>(trace.digest), map->borders().size());
        std::printf("  %s\n  svg %zu bytes, node 1 neighbours %zu\n", text.substr(0, text.find('\n')).c_str(),
                    svg.size(), map->neighbours(1).size());
        if (trace.verify != 0 || colouring.verify() != 0) return 1;
    }
    const std::shared_ptr<const orvane::Map> seeded = orvane::Map::build(0x1a2b, 300);
    std::shared_ptr<const orvane::Map> given;
    if (orvane::buildMapFromSites(given, orvane::seededSites(0x1a2b, 300))) return 1;
    if (orvane::exportText(*given) != orvane::exportText(*seeded)) return 1;
    const std::vector<orvane::Point> line = {{0, 0}, {10, 10}, {20, 20}};
    const orvane::SiteProblem p = orvane::buildMapFromSites(given, line);
    std::printf("sites of 00001a2b(300): the same map; three on a line: %s\n",
                orvane::describeSiteProblem(p, line, [](int i) { return "site " + std::to_string(i + 1); }).c_str());
    return p ? 0 : 1;
}
