// The map and colour commands, and the pieces other commands share.
#include "cli/cli.h"
#include "engine/engine.h"
#include "map/map.h"
#include "platform/platform.h"
#include "runs/runs.h"
#include "runs/trace.h"
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
int countBorders()
{
    int links = 0;
    for (const MapNode* n = nodeList; n; n = n->next) links += countLinks(n);
    return links / 2;
}

int countOuterNodes()
{
    int outer = 0;
    for (const MapNode* n = nodeList; n; n = n->next) outer += n->outer != nullptr;
    return outer;
}

bool parseSteps(const Arguments& a, long& steps)
{
    const std::string text = a.value("--steps");
    char* end = nullptr;
    steps = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && !*end && steps >= 0;
}

void buildRequestedMap(const Arguments& a, uint32_t& seed, int& n)
{
    literalReference = a.has("--reference");
    seed = seedFromArguments(a);
    n = nodesFromArguments(a);
    seedGenerator(seed);
    buildMap(n);
    EnginePhase = phasePrepare;
}
}  // namespace

std::u16string utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
        uint32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

uint32_t seedFromArguments(const Arguments& a)
{
    const std::u16string text = utf8ToUtf16(a.value("--seed"));
    return text.empty() ? clockMillis() : parseSeedText(text.c_str());
}

int nodesFromArguments(const Arguments& a)
{
    return clampCount(parseCountText(utf8ToUtf16(a.value("--nodes")).c_str()), leastNodes, mostNodes);
}

bool exportIfAsked(const Arguments& a)
{
    if (!a.has("--export")) return true;
    const std::string path = a.value("--export");
    if (!path.empty() && writeExportFile(utf8ToUtf16(path))) return true;
    std::fprintf(stderr, "orvane-cli: cannot write the export file '%s'\n", path.c_str());
    return false;
}

int colourAsAsked(const Arguments& a, int& verify, long& calls)
{
    long steps = -1;
    if (a.has("--steps") && !parseSteps(a, steps)) return usageError("--steps takes a whole number >= 0");
    if (a.has("--steps") && a.has("--full")) return usageError("--steps and --full exclude each other");
    if (a.has("--digest")) {
        const TraceSummary t = stepToEnd();
        std::printf("digest %016llx steps %ld verify %d colours %016llx\n", static_cast<unsigned long long>(t.digest),
                    t.steps, t.verify, static_cast<unsigned long long>(fnv1a(t.colours)));
        verify = t.verify;
        calls = t.steps;
        return 0;
    }
    const bool stepping = steps >= 0;
    const bool trace = a.has("--trace");
    const std::vector<const MapNode*> byNumber = nodesByNumber();
    verify = -1;
    calls = 0;
    uint32_t elapsed = 0;
    for (long k = 1; k <= (stepping ? steps : 1); ++k) {
        const unsigned before = EnginePhase;
        const uint32_t t0 = clockMillis();
        const uint16_t r = engineStep(!stepping);
        elapsed += clockMillis() - t0;
        ++calls;
        if (before != phaseFinished && engineFinished()) verify = r;
        if (trace) std::puts(traceLine(k, before, r, byNumber).c_str());
    }
    if (!stepping) std::printf("colour-ms %u\n", static_cast<unsigned>(elapsed));
    return 0;
}

int runMapCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--export", "--reference"})) return status;
    uint32_t seed;
    int n;
    buildRequestedMap(a, seed, n);
    std::printf("seed=%08x nodes=%d borders=%d outer=%d\n", static_cast<unsigned>(seed), n, countBorders(),
                countOuterNodes());
    const bool exported = exportIfAsked(a);
    releaseMap();
    return exported ? 0 : 1;
}

int runColourCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--export", "--steps", "--full", "--trace", "--digest", "--reference"})) return status;
    if (a.has("--steps") && a.has("--full")) return usageError("--steps and --full exclude each other");
    uint32_t seed;
    int n;
    buildRequestedMap(a, seed, n);
    int verify;
    long calls;
    int status = colourAsAsked(a, verify, calls);
    if (status == 0) {
        status = exportIfAsked(a) ? 0 : 1;
        std::printf("result seed=%08x nodes=%d verify=%d steps=%ld\n", static_cast<unsigned>(seed), n, verify, calls);
    }
    releaseMap();
    return status;
}
