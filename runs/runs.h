// Map request, batch run, run log and export: the program's runs and files.
#pragma once
#include <cstdint>
#include <string>

// Text rules of the seed and count fields.
uint32_t parseSeedText(const char16_t* text);   // base 16, unsigned string-to-number rules
int32_t parseCountText(const char16_t* text);   // signed decimal string-to-number rules
int32_t clampCount(int32_t value, int32_t least, int32_t most);
inline constexpr int32_t leastNodes = 3, mostNodes = 10000;
void formatSeed(uint32_t seed, char16_t* out);   // "%08x"
void formatDecimal(int32_t value, char16_t* out);  // "%d"
std::u16string toUtf16(const char* ascii);
std::string toAscii(const std::u16string& text);   // for messages; non-ASCII units become '?'

// A path beside the executable: its file name replaced by `name`. Empty when the
// executable's path is unknown or the result would be too long to open.
std::u16string pathBesideExecutable(const std::u16string& name);

// Export file of the current map: UTF-16LE with byte-order mark, CR LF line ends.
std::string exportContent();
// Writes the export file to `path` whole or not at all; false when it could not.
bool writeExportFile(const std::u16string& path);
// The EXPORT command: the Export folder beside the executable, named after the map shown.
void exportMap();

// The map request: the seed and node count fields become the current map.
void mapRequest();
// Seed and node count of the map the last map request built: the map shown,
// whatever FIX and AUTO have since put into seedText.
extern uint32_t shownSeed;
extern int32_t shownNodeCount;
// The batch run over the map count field's number of consecutive seeds.
void batchRun();

// Batch page texts and the counters' rectangles in the view.
struct ViewRect { int left, top, right, bottom; };
inline constexpr int batchTextUnits = 64;
extern char16_t counterText[2][16];          // successes, failures
extern char16_t batchHeader[batchTextUnits];
extern char16_t batchSeedRange[batchTextUnits];
extern char16_t batchTotalTime[batchTextUnits];
extern char16_t batchMapTime[batchTextUnits];
extern char16_t batchColourTime[batchTextUnits];
extern ViewRect counterRect[2];
