// The map and colour commands, and the pieces other commands share.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "cli/cli.h"
#include "platform/platform.h"
#include "runs/clocks.h"
#include "runs/export.h"
#include "runs/texts.h"
#include "runs/trace.h"
#include "text/utf.h"
#include "ui/controls.h"

namespace orvane::cli {

namespace {
int countOuterNodes(const Map& map)
{
    int outer = 0;
    for (int k = 1; k <= map.nodeCount(); ++k) outer += map.isOuter(map.numbered(k));
    return outer;
}

// A whole number of presses that fits in 64 bits.
bool parseSteps(const Arguments& a, long long& steps)
{
    const std::string text = a.value("--steps");
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    steps = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}
}  // namespace

std::u16string fieldText(const Arguments& a, const std::string& name, int units)
{
    std::u16string text = utf8ToUtf16(a.value(name));
    if (text.size() > static_cast<size_t>(units - 1)) text.resize(static_cast<size_t>(units - 1));
    const size_t nul = text.find(u'\0');
    return nul == std::u16string::npos ? text : text.substr(0, nul);
}

uint32_t seedFromArguments(const Arguments& a)
{
    const std::u16string text = fieldText(a, "--seed", textBufferUnits);
    return text.empty() ? clockMillis() : parseSeedText(text.c_str());
}

int nodesFromArguments(const Arguments& a)
{
    return clampCount(parseCountText(fieldText(a, "--nodes", countFieldReadUnits).c_str()), leastNodes, mostNodes);
}

Paths pathsFromArguments(const Arguments& a) { return a.has("--reference") ? Paths::reference : Paths::fast; }

int colourAsAsked(const Arguments& a, Colouring& colouring, int& verify, long& calls)
{
    long long steps = -1;
    if (a.has("--steps") && !parseSteps(a, steps))
        return usageError("--steps takes a whole number from 0 to 9223372036854775807");
    if (a.has("--steps") && a.has("--full")) return usageError("--steps and --full exclude each other");
    if (a.has("--digest")) {
        const TraceSummary t = stepToEnd(colouring);
        std::printf("digest %016llx steps %ld verify %d colours %016llx\n", static_cast<unsigned long long>(t.digest),
                    t.steps, t.verify, static_cast<unsigned long long>(fnv1a(t.colours)));
        verify = t.verify;
        calls = t.steps;
        return 0;
    }
    const bool stepping = steps >= 0;
    const bool trace = a.has("--trace");
    verify = -1;
    calls = 0;
    uint32_t elapsed = 0;
    // Steps end with the colouring, as the step button is disabled then.
    for (long long k = 1; k <= (stepping ? steps : 1) && !(stepping && colouring.finished()); ++k) {
        const Phase before = colouring.phase();
        const uint32_t t0 = clockMillis();
        const StepReport r = colouring.step(!stepping);
        elapsed += clockMillis() - t0;
        ++calls;
        if (r.verified) verify = r.result;
        if (trace) std::puts(traceLine(static_cast<long>(k), before, r.result, colouring).c_str());
    }
    if (!stepping) std::printf("colour-ms %u\n", static_cast<unsigned>(elapsed));
    return 0;
}

int runMapCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--sites", "--export", "--reference"})) return status;
    std::shared_ptr<const Map> map;
    RequestedMap requested;
    if (const int status = buildRequestedMap(a, map, requested)) return status;
    std::printf("%s nodes=%d borders=%d outer=%d\n", requested.label().c_str(), requested.nodes,
                static_cast<int>(map->borders().size()), countOuterNodes(*map));
    return exportIfAsked(a, *map, requested) ? 0 : 1;
}

int runColourCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--sites", "--export", "--steps", "--full", "--trace",
                                         "--digest", "--reference"}))
        return status;
    if (a.has("--steps") && a.has("--full")) return usageError("--steps and --full exclude each other");
    std::shared_ptr<const Map> map;
    RequestedMap requested;
    if (const int status = buildRequestedMap(a, map, requested)) return status;
    Colouring colouring(std::move(map), platformClock(), pathsFromArguments(a));
    int verify;
    long calls;
    int status = colourAsAsked(a, colouring, verify, calls);
    if (status == 0) {
        status = exportIfAsked(a, colouring, requested) ? 0 : 1;
        std::printf("result %s nodes=%d verify=%d steps=%ld\n", requested.label().c_str(), requested.nodes, verify,
                    calls);
    }
    return status;
}

}  // namespace orvane::cli
