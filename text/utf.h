// Conversion between UTF-8 byte strings and UTF-16 text.
#pragma once
#include <string>
#include <string_view>

namespace orvane {

// Decodes UTF-8; each maximal ill-formed subpart becomes one U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);

// Encodes UTF-16 as UTF-8; each unpaired surrogate becomes one U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// True when the bytes are well-formed UTF-8, so that they survive the trip to
// UTF-16 and back unchanged (a file name that is not must not be written under
// another name).
bool isUtf8(std::string_view bytes);

} // namespace orvane
