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
bool byNumber(const MapNode* a, const MapNode* b) { return a->number < b->number; }

void appendRecord(std::string& out, const MapNode* n, std::vector<const MapNode*>& neighbours)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%c]%5d (%04x,%04x) ", colourLetters[n->colour < 0 || n->colour > 5 ? 0 : n->colour],
                  n->number, static_cast<unsigned>(n->x), static_cast<unsigned>(n->y));
    out += buf;
    neighbours.clear();
    for (const NodeLink* l = n->links; l; l = l->next) neighbours.push_back(l->node);
    std::sort(neighbours.begin(), neighbours.end(), byNumber);
    // A node without borders still ends its line, so the next record starts on its own.
    if (neighbours.empty()) out += '\n';
    for (size_t i = 0; i < neighbours.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%d%s", neighbours[i]->number, i + 1 < neighbours.size() ? "," : "\n");
        out += buf;
    }
}
}  // namespace

std::string exportText(const Map& map)
{
    std::vector<const MapNode*> nodes;
    for (const MapNode* n = map.nodeList; n; n = n->next) nodes.push_back(n);
    std::sort(nodes.begin(), nodes.end(), byNumber);
    std::string out;
    std::vector<const MapNode*> neighbours;
    for (const MapNode* n : nodes) appendRecord(out, n, neighbours);
    return out;
}

std::string exportContent(const Map& map)
{
    // The text is ASCII: each unit is one byte and a zero, every LF a CR LF.
    const std::string text = exportText(map);
    std::string out("\xFF\xFE", 2);
    out.reserve(2 + 4 * text.size());
    for (char c : text) {
        if (c == '\n') out.append("\r\0", 2);
        out += c;
        out += '\0';
    }
    return out;
}

int writeExportFile(const Map& map, const std::u16string& path)
{
    if (!map.nodeList) return EINVAL;
    return writeWholeFile(path, exportContent(map));
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
