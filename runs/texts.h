// Text rules of the seed and count fields, shared number formatting, and
// paths beside the executable.
#pragma once
#include <cstdint>
#include <string>

namespace orvane {

// Base 16 by the unsigned string-to-number rules: blanks, a sign, an optional
// 0x, hexadecimal digits up to the first other unit; past 32 bits ffffffff.
uint32_t parseSeedText(const char16_t* text);
// Signed decimal by the string-to-number rules; beyond 32 bits the nearest limit.
int32_t parseCountText(const char16_t* text);
// value <= least gives least, value > most gives most.
int32_t clampCount(int32_t value, int32_t least, int32_t most);
// How the map request and the batch run read a count field: at most 7 typed
// characters (8 units with the terminator).
inline constexpr int countFieldReadUnits = 8;

std::u16string seedDigits(uint32_t seed);     // "%08x"
std::u16string decimalText(int64_t value);    // "%d"
// Copies text into a fixed buffer of `capacity` units, cut to fit and terminated.
void copyText(char16_t* buffer, int capacity, const std::u16string& text);

// A path beside the executable: its file name replaced by `name`. Empty when the
// executable's path is unknown or the result would be too long to open.
std::u16string pathBesideExecutable(const std::u16string& name);

}  // namespace orvane
