// The export file of a map: every node with its colour letter, number and
// coordinates, then its neighbours' numbers, in node-number order. A map
// exports as built, uncoloured; a colouring exports the map as it leaves it:
// its colours, and its set-aside nodes and the borders to them left out.
#pragma once
#include <string>
#include "engine/colouring.h"
#include "map/map.h"

namespace orvane {

// The file's bytes: UTF-16LE with byte-order mark, CR LF line ends.
std::string exportContent(const Map& map);
std::string exportContent(const Colouring& colouring);
// The same as UTF-8 text with LF line ends, for scripts.
std::string exportText(const Map& map);
std::string exportText(const Colouring& colouring);
// Writes the export file to `path` whole or not at all (an earlier file there
// is never damaged); 0, or the error number of the failure.
int writeExportFile(const Map& map, const std::u16string& path);
int writeExportFile(const Colouring& colouring, const std::u16string& path);
// The export file's name: "NAME(N).txt", NAME the seed's eight digits for a
// seeded map or the name of a map from given sites (runs/sitesfile.h).
std::u16string exportFileName(const std::u16string& mapName, int32_t nodes);
// Export/NAME(N).txt beside the executable, its folder made; empty when the
// path is unknown or too long.
std::u16string exportFilePath(const std::u16string& mapName, int32_t nodes);
std::u16string exportFilePath(uint32_t seed, int32_t nodes);

}  // namespace orvane
