// Export file: every node with colour letter, number and coordinates, then the
// numbers of its neighbours, in node-number order.
#include "runs/runs.h"
#include "map/map.h"
#include "platform/platform.h"
#include "ui/ui.h"
#include <algorithm>
#include <vector>

namespace {
bool byNumber(const MapNode* a, const MapNode* b) { return a->number < b->number; }

// Appends ASCII text as UTF-16LE, writing every line feed as CR LF.
void appendText(std::string& out, const char* text)
{
    for (; *text; ++text) {
        if (*text == '\n') out.append("\r\0", 2);
        out += *text;
        out += '\0';
    }
}

void appendRecord(std::string& out, const MapNode* n, std::vector<const MapNode*>& neighbours)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%c]%5d (%04x,%04x) ", colourLetters[n->colour < 0 || n->colour > 5 ? 0 : n->colour],
                  n->number, static_cast<unsigned>(n->x), static_cast<unsigned>(n->y));
    appendText(out, buf);
    neighbours.clear();
    for (const NodeLink* l = n->links; l; l = l->next) neighbours.push_back(l->node);
    std::sort(neighbours.begin(), neighbours.end(), byNumber);
    // A node without borders still ends its line, so the next record starts on its own.
    if (neighbours.empty()) appendText(out, "\n");
    for (size_t i = 0; i < neighbours.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%d%s", neighbours[i]->number, i + 1 < neighbours.size() ? "," : "\n");
        appendText(out, buf);
    }
}
}  // namespace

std::string exportContent()
{
    std::vector<const MapNode*> nodes;
    for (const MapNode* n = nodeList; n; n = n->next) nodes.push_back(n);
    std::sort(nodes.begin(), nodes.end(), byNumber);
    std::string out("\xFF\xFE", 2);
    std::vector<const MapNode*> neighbours;
    for (const MapNode* n : nodes) appendRecord(out, n, neighbours);
    return out;
}

bool writeExportFile(const std::u16string& path)
{
    if (!nodeList || path.empty()) return false;
    const std::string content = exportContent();
    // Write beside the target first so a failed write never leaves a partial file.
    const std::u16string temporary = path + u".part";
    FILE* f = openFile(temporary, "wb");
    if (!f) return false;
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && renameFile(temporary, path)) return true;
    removeFile(temporary);
    return false;
}

void exportMap()
{
    if (!nodeList) return;
    // Named after the map shown, not after seedText, which FIX and AUTO reuse.
    char16_t seed[16], count[16];
    formatSeed(shownSeed, seed);
    formatDecimal(shownNodeCount, count);
    const std::u16string folder = u"Export";
    const std::u16string file = folder + pathSeparator + seed + u"(" + count + u").txt";
    // Both paths are checked against the platform's path length; too long: no file.
    const std::u16string folderPath = pathBesideExecutable(folder);
    const std::u16string filePath = pathBesideExecutable(file);
    if (folderPath.empty() || filePath.empty()) return;
    createFolder(folderPath);
    writeExportFile(filePath);
}
