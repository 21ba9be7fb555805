// The main window's controls by id, and the codes that change them.
#pragma once
#include <cstdint>

namespace orvane {

enum ControlId : int {
    idSeedLabel = 1000, idFix = 1001, idSeedField = 1002, idAuto = 1003, idNodeField = 1004,
    idMapRequest = 1005, idStatus = 1006, idStep = 1007, idFull = 1008, idClear = 1009,
    idExport = 1010, idMapCountField = 1011, idBatch = 1012
};

// What the map view shows.
enum class DisplayMode : int8_t { blank = -1, map = 0, batchRunning = 1, batchFinished = 2 };

// Enable states of the four colouring and export buttons (step, full, clear, EXPORT).
enum class CommandState : int8_t {
    hideAll = -1,   // every control hidden; buttons unchanged
    allOff = 0,
    showAll = 1,    // every control shown again, then as allOff
    finished = 2,   // clear and EXPORT
    fresh = 3,      // step, full and EXPORT
    stepping = 4,   // all four
};

// Text buffers of 16 UTF-16 units: at most 15 characters and a terminator.
inline constexpr int textBufferUnits = 16;

}  // namespace orvane
