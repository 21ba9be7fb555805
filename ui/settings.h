// The settings file beside the executable: the three field texts and the main
// window's placement, carried from one run to the next.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/platform.h"
#include "ui/session.h"

namespace orvane {

struct Settings {
    // The executable's path with its extension replaced by ".ini"; empty when
    // the path is unknown or too long (then nothing is read or written).
    std::u16string path;
    // All zero until a usable placement is loaded.
    WindowPlacement windowPlacement;
    // True only when the last load read all eleven integers and they are plausible.
    bool placementLoaded = false;
};

std::u16string settingsPathBesideExecutable();

// The placement's fields in the order of the file's lines.
inline constexpr int32_t WindowPlacement::*placementLines[11] = {
    &WindowPlacement::length,     &WindowPlacement::flags,      &WindowPlacement::showCommand,
    &WindowPlacement::minimisedX, &WindowPlacement::minimisedY, &WindowPlacement::maximisedX,
    &WindowPlacement::maximisedY, &WindowPlacement::normalLeft, &WindowPlacement::normalTop,
    &WindowPlacement::normalRight, &WindowPlacement::normalBottom};

// The screen's virtual desktop, in screen pixels.
struct DesktopRect {
    int32_t left, top, right, bottom;
};
// A stored placement is applied only when its normal rectangle lies at least
// partly on the desktop and is no larger than it: otherwise the window could
// open where nobody can reach it.
bool placementFitsDesktop(const Settings& settings, DesktopRect desktop);

// Fills the field texts and the placement from the file.
void loadSettings(Settings& settings, FieldTexts& fields);
// The same from the file's bytes.
void loadSettingsFromBytes(Settings& settings, FieldTexts& fields, const unsigned char* bytes, size_t size);
// Writes the fields' texts and the window's placement to the file.
void saveSettings(Settings& settings, FieldTexts& fields);
// The file's bytes for the given texts and placement.
std::string settingsContent(const Settings& settings, const FieldTexts& fields);

}  // namespace orvane
