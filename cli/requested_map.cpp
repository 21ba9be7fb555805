// The map a command works on: the seeded map of --seed and --nodes, or the
// map of the sites in --sites FILE (- for standard input); its name in what
// the commands print and in the export file's name; and the sites command,
// which prints a seeded map's sites as a sites file.
#include <cerrno>
#include <cstdio>
#include "cli/cli.h"
#include "map/sites.h"
#include "platform/platform.h"
#include "runs/export.h"
#include "runs/sitesfile.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace orvane::cli {

namespace {
// Standard input, at most mostSitesFileBytes; "" or the problem.
std::string readStandardInput(std::string& bytes, int& error)
{
    error = 0;
    char buffer[65536];
    size_t n;
    while (bytes.size() <= mostSitesFileBytes && (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        bytes.append(buffer, n);
    if (std::ferror(stdin)) {
        error = errno ? errno : EIO;
        return errorText(error);
    }
    if (bytes.size() > mostSitesFileBytes) return sitesFileTooLargeText();
    return {};
}

// The sites of --sites; 0 or the exit status after a message: 1 when the
// file could not be read, 2 when what it holds is no sites file.
int readSitesArgument(const std::string& path, SitesFile& file)
{
    int error = 0;
    std::string problem;
    if (path == "-") {
        std::string bytes;
        problem = readStandardInput(bytes, error);
        if (problem.empty()) problem = readSitesText(bytes, file);
    } else {
        problem = readSitesFile(utf8ToUtf16(path), file, error);
    }
    if (problem.empty()) return 0;
    if (path == "-") std::fprintf(stderr, "orvane-cli: cannot read the sites from standard input: %s\n", problem.c_str());
    else std::fprintf(stderr, "orvane-cli: cannot read the sites file '%s': %s\n", path.c_str(), problem.c_str());
    return error ? 1 : 2;
}
}  // namespace

std::string RequestedMap::label() const
{
    if (fromSites) return "sites=" + utf16ToUtf8(name);
    char buf[16];
    std::snprintf(buf, sizeof buf, "seed=%08x", static_cast<unsigned>(seed));
    return buf;
}

int buildRequestedMap(const Arguments& a, std::shared_ptr<const Map>& map, RequestedMap& requested)
{
    map = nullptr;
    if (!a.has("--sites")) {
        requested.seed = seedFromArguments(a);
        requested.nodes = nodesFromArguments(a);
        map = Map::build(requested.seed, requested.nodes, {pathsFromArguments(a)});
        return 0;
    }
    if (a.has("--seed") || a.has("--nodes"))
        return usageError("--sites and --seed/--nodes exclude each other: a map comes from a sites file or from a "
                          "seed and a node count");
    const std::string path = a.value("--sites");
    if (path.empty()) return usageError("--sites needs a file (or - for standard input)");
    SitesFile file;
    if (const int status = readSitesArgument(path, file)) return status;
    const SiteProblem problem = buildMapFromSites(map, file.sites, {pathsFromArguments(a)});
    if (problem) {
        const std::string shown = path == "-" ? "standard input" : path;
        const auto lineOf = [&](int i) { return "line " + std::to_string(file.lines[static_cast<size_t>(i)]); };
        std::fprintf(stderr, "orvane-cli: %s: %s\n", shown.c_str(),
                     describeSiteProblem(problem, file.sites, lineOf).c_str());
        return 2;
    }
    requested.fromSites = true;
    requested.name = sitesMapName(utf8ToUtf16(path));
    requested.nodes = map->nodeCount();
    return 0;
}

namespace {
// Writes the export file --export names, if any, with `write`; false when that fails.
template <typename Write>
bool exportWith(const Arguments& a, const RequestedMap& requested, Write write)
{
    if (!a.has("--export")) return true;
    const std::string given = a.value("--export");
    std::u16string path = utf8ToUtf16(given);
    // A folder gets the file under the name the window gives it.
    if (!path.empty() && fileKind(path) == FileKind::folder) {
        const std::u16string name = requested.fromSites ? requested.name : seedDigits(requested.seed);
        if (path.back() != u'/' && path.back() != pathSeparator) path += pathSeparator;
        path += exportFileName(name, requested.nodes);
    }
    const int error = path.empty() ? ENOENT : write(path);
    if (error == 0) return true;
    std::fprintf(stderr, "orvane-cli: cannot write the export file '%s': %s\n", utf16ToUtf8(path).c_str(),
                 errorText(error).c_str());
    return false;
}
}  // namespace

bool exportIfAsked(const Arguments& a, const Map& map, const RequestedMap& requested)
{
    return exportWith(a, requested, [&](const std::u16string& path) { return writeExportFile(map, path); });
}

bool exportIfAsked(const Arguments& a, const Colouring& colouring, const RequestedMap& requested)
{
    return exportWith(a, requested, [&](const std::u16string& path) { return writeExportFile(colouring, path); });
}

int runSitesCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes"})) return status;
    if (a.value("--seed").empty()) return usageError("sites needs --seed (and --nodes), the map whose sites to print");
    for (const Point& p : seededSites(seedFromArguments(a), nodesFromArguments(a))) std::printf("%d %d\n", p.x, p.y);
    return 0;
}

}  // namespace orvane::cli
