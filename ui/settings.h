// The settings file beside the executable: the three field texts and the main
// window's placement, carried from one run to the next.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The executable's path with its extension replaced by ".ini"; empty when the
// path is unknown or too long (then nothing is read or written).
extern std::u16string settingsPath;
void buildSettingsPath();

// Length, flags, show command, minimised x, y, maximised x, y, normal rectangle
// left, top, right, bottom; all zero until a usable placement is loaded.
extern int32_t windowPlacement[11];
// True only when the last load read all eleven integers and they are plausible.
bool placementUsable();

// Fills seedText, nodeCountText, mapCountText and windowPlacement from the file.
void loadSettings();
// The same from the file's bytes.
void loadSettingsFromBytes(const unsigned char* bytes, size_t size);
// Writes the fields' texts and the window's placement to the file.
void saveSettings();
// The file's bytes for the current texts and placement.
std::string settingsContent();
