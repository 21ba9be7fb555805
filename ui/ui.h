// User-interface state shared with the runs and the engine driver.
#pragma once
#include <cstdint>

// What the map view shows: -1 blank, 0 the map, 1 a running batch, 2 a finished batch.
extern int8_t displayMode;

// Text buffers of 16 UTF-16 units shared by the map request, batch run, export and settings.
inline constexpr int textBufferUnits = 16;
extern char16_t seedText[textBufferUnits];
extern char16_t nodeCountText[textBufferUnits];
extern char16_t mapCountText[textBufferUnits];

// Enable states: -1 hide all, 0 all four off, 1 show all then as 0, 2 clear+export,
// 3 step+full+export, 4 all four on.
void setCommandState(int8_t state);
