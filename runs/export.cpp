// Export file: every node with colour letter, number and coordinates, then the
// numbers of its neighbours, in node-number order.
#include "runs/export.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>
#include "platform/platform.h"
#include "runs/texts.h"

namespace orvane {

namespace {
// The records as the map or a colouring gives them: which nodes are listed,
// their colours and their current borders.
struct ExportSource {
    const Map& map;
    const Colouring* colouring;  // null: the map as built

    ColourCode colour(NodeIndex v) const { return colouring ? colouring->colour(v) : colourNone; }
    std::span<const NodeIndex> links(NodeIndex v) const { return colouring ? colouring->links(v) : map.links(v); }
};

void appendRecord(std::string& out, const ExportSource& source, NodeIndex v, std::vector<int>& neighbours)
{
    const Map& map = source.map;
    const ColourCode colour = source.colour(v);
    const Point p = map.site(v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%c]%5d (%04x,%04x) ", colourLetters[colour < 0 || colour > 5 ? 0 : colour],
                  map.number(v), static_cast<unsigned>(p.x), static_cast<unsigned>(p.y));
    out += buf;
    neighbours.clear();
    for (const NodeIndex n : source.links(v)) neighbours.push_back(map.number(n));
    std::sort(neighbours.begin(), neighbours.end());
    // A node without borders still ends its line, so the next record starts on its own.
    if (neighbours.empty()) out += '\n';
    for (size_t i = 0; i < neighbours.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%d%s", neighbours[i], i + 1 < neighbours.size() ? "," : "\n");
        out += buf;
    }
}

std::string textOf(const ExportSource& source)
{
    const Map& map = source.map;
    // Set-aside nodes are not on the colouring's node list.
    std::vector<uint8_t> listed(static_cast<size_t>(map.nodeCount()), source.colouring ? 0 : 1);
    if (source.colouring)
        for (NodeIndex v = source.colouring->firstListed(); v != noNode; v = source.colouring->nextListed(v))
            listed[v] = 1;
    std::string out;
    std::vector<int> neighbours;
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex v = map.numbered(k);
        if (listed[v]) appendRecord(out, source, v, neighbours);
    }
    return out;
}

// The text is ASCII: each unit is one byte and a zero, every LF a CR LF.
std::string fileBytesOf(const std::string& text)
{
    std::string out("\xFF\xFE", 2);
    out.reserve(2 + 4 * text.size());
    for (char c : text) {
        if (c == '\n') out.append("\r\0", 2);
        out += c;
        out += '\0';
    }
    return out;
}

int writeFileOf(const Map& map, const std::string& text, const std::u16string& path)
{
    if (map.empty()) return EINVAL;
    return writeWholeFile(path, fileBytesOf(text));
}
}  // namespace

std::string exportText(const Map& map) { return textOf({map, nullptr}); }
std::string exportText(const Colouring& colouring) { return textOf({colouring.map(), &colouring}); }
std::string exportContent(const Map& map) { return fileBytesOf(exportText(map)); }
std::string exportContent(const Colouring& colouring) { return fileBytesOf(exportText(colouring)); }

int writeExportFile(const Map& map, const std::u16string& path) { return writeFileOf(map, exportText(map), path); }

int writeExportFile(const Colouring& colouring, const std::u16string& path)
{
    return writeFileOf(colouring.map(), exportText(colouring), path);
}

std::u16string exportFileName(const std::u16string& mapName, int32_t nodes)
{
    return mapName + u"(" + decimalText(nodes) + u").txt";
}

std::u16string exportFilePath(uint32_t seed, int32_t nodes) { return exportFilePath(seedDigits(seed), nodes); }

std::u16string exportFilePath(const std::u16string& mapName, int32_t nodes)
{
    const std::u16string folder = u"Export";
    const std::u16string file = folder + pathSeparator + exportFileName(mapName, nodes);
    // Both paths are checked against the platform's path length; too long: no file.
    const std::u16string folderPath = pathBesideExecutable(folder);
    const std::u16string filePath = pathBesideExecutable(file);
    if (folderPath.empty() || filePath.empty()) return {};
    createFolder(folderPath);
    return filePath;
}

}  // namespace orvane
