// orvane-cli: the headless companion. Builds, colours and exports maps exactly
// as the window program does.
#include "engine/engine.h"
#include "map/map.h"
#include "platform/platform.h"
#include "runs/runs.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
const char usageText[] =
    "usage: orvane-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  map     build a map and print: seed, node count, borders, outer nodes\n"
    "  colour  build a map and colour it step by step or at once\n"
    "\n"
    "options:\n"
    "  --seed TEXT    seed in hexadecimal, read as the seed field reads it;\n"
    "                 empty or missing: the millisecond clock\n"
    "  --nodes TEXT   node count, read as the node count field reads it (3..10000)\n"
    "  --export PATH  write the export file of the map (after the last step)\n"
    "  --steps K      colour: K single steps (as K presses of step colouring)\n"
    "  --full         colour: one run to the end (the default)\n"
    "  --trace        colour: print the engine state after every step\n"
    "  --help         show this text\n";

struct Options {
    std::string command;
    bool haveSeed = false;
    std::string seed;
    std::string nodes;
    std::string exportPath;
    long steps = -1;
    bool full = false;
    bool trace = false;
};

int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvane-cli: %s\n(run 'orvane-cli --help' for the options)\n", message.c_str());
    return 2;
}

bool takeValue(int argc, char** argv, int& i, std::string& out)
{
    if (i + 1 >= argc) return false;
    out = argv[++i];
    return true;
}

// Returns 0 on success, else the exit status for a usage error.
int parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string value;
        if (a == "--help" || a == "-h") {
            std::fputs(usageText, stdout);
            std::exit(0);
        } else if (a == "--seed") {
            if (!takeValue(argc, argv, i, o.seed)) return usageError("--seed needs a value");
            o.haveSeed = true;
        } else if (a == "--nodes") {
            if (!takeValue(argc, argv, i, o.nodes)) return usageError("--nodes needs a value");
        } else if (a == "--export") {
            if (!takeValue(argc, argv, i, o.exportPath) || o.exportPath.empty())
                return usageError("--export needs a path");
        } else if (a == "--steps") {
            if (!takeValue(argc, argv, i, value)) return usageError("--steps needs a count");
            char* end = nullptr;
            o.steps = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || o.steps < 0) return usageError("--steps takes a whole number >= 0");
        } else if (a == "--full") {
            o.full = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (!a.empty() && a[0] != '-' && o.command.empty()) {
            o.command = a;
        } else {
            return usageError("unknown option '" + a + "'");
        }
    }
    if (o.command.empty()) return usageError("no command given");
    if (o.command != "map" && o.command != "colour" && o.command != "color")
        return usageError("unknown command '" + o.command + "'");
    if (o.command == "map" && (o.steps >= 0 || o.full || o.trace))
        return usageError("--steps, --full and --trace belong to the colour command");
    if (o.steps >= 0 && o.full) return usageError("--steps and --full exclude each other");
    return 0;
}

std::u16string fromUtf8(const std::string& s)
{
    std::u16string out;
    for (unsigned char c : s) out += c < 0x80 ? static_cast<char16_t>(c) : u'?';
    return out;
}

uint32_t seedFromText(const Options& o)
{
    const std::u16string text = fromUtf8(o.seed);
    return o.haveSeed && !text.empty() ? parseSeedText(text.c_str()) : clockMillis();
}

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

int numberOf(const MapNode* n) { return n ? n->number : 0; }

// One letter per node in number order, deferred nodes included.
std::string colourLetterRow(const std::vector<const MapNode*>& byNumber)
{
    static const char letters[] = ".RGYB*";
    std::string row;
    for (const MapNode* n : byNumber) row += n->colour >= 0 && n->colour <= 5 ? letters[n->colour] : '?';
    return row;
}

void printTraceLine(long k, unsigned before, unsigned result, const std::vector<const MapNode*>& byNumber)
{
    std::printf("step %ld phase %u->%u result %u colours %s ring %d cand %d arc %d,%d pivot %d path %d,%d cursor %d flag %u\n",
                k, before, static_cast<unsigned>(EnginePhase), result, colourLetterRow(byNumber).c_str(),
                numberOf(ringEntry), numberOf(candidate), numberOf(arcFirst), numberOf(arcLast), numberOf(pivot),
                numberOf(pathHead), numberOf(pathTail), numberOf(pathCursor), static_cast<unsigned>(pathFlag));
}

std::vector<const MapNode*> nodesByNumber()
{
    std::vector<const MapNode*> v;
    for (int i = 0; i < nodeStorageCount; ++i) v.push_back(&nodeStorage[i]);
    std::sort(v.begin(), v.end(), [](const MapNode* a, const MapNode* b) { return a->number < b->number; });
    return v;
}

bool exportIfAsked(const Options& o)
{
    if (o.exportPath.empty()) return true;
    if (writeExportFile(fromUtf8(o.exportPath))) return true;
    std::fprintf(stderr, "orvane-cli: cannot write the export file '%s'\n", o.exportPath.c_str());
    return false;
}

int runColour(const Options& o, uint32_t seed, int n)
{
    EnginePhase = phasePrepare;
    const std::vector<const MapNode*> byNumber = nodesByNumber();
    long calls = 0;
    int verify = -1;
    const bool stepping = o.steps >= 0;
    const long total = stepping ? o.steps : 1;
    uint32_t elapsed = 0;
    for (long k = 1; k <= total; ++k) {
        const unsigned before = EnginePhase;
        const bool ranVerification = EnginePhase == phaseVerify || !engineFinished();
        const uint32_t t0 = clockMillis();
        const uint16_t r = engineStep(!stepping);
        elapsed += clockMillis() - t0;
        ++calls;
        if (ranVerification && engineFinished() && before != phaseFinished) verify = r;
        if (o.trace) printTraceLine(k, before, r, byNumber);
    }
    if (!stepping) std::printf("colour-ms %u\n", static_cast<unsigned>(elapsed));
    const bool exported = exportIfAsked(o);
    std::printf("result seed=%08x nodes=%d verify=%d steps=%ld\n", static_cast<unsigned>(seed), n, verify, calls);
    return exported ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (const int status = parseOptions(argc, argv, o)) return status;
    const uint32_t seed = seedFromText(o);
    const int n = clampCount(parseCountText(fromUtf8(o.nodes).c_str()), leastNodes, mostNodes);
    seedGenerator(seed);
    buildMap(n);
    int status = 0;
    if (o.command == "map") {
        std::printf("seed=%08x nodes=%d borders=%d outer=%d\n", static_cast<unsigned>(seed), n, countBorders(),
                    countOuterNodes());
        status = exportIfAsked(o) ? 0 : 1;
    } else {
        status = runColour(o, seed, n);
    }
    releaseMap();
    return status;
}
