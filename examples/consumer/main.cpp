// Builds and colours a few maps through the installed library and prints, for
// each, what the companion's colour command prints, plus the first export
// record and the size of the map picture.
#include <cstdio>
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
    return 0;
}
