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

// The bytes of a UTF-16 text file as the window writes them: the byte-order
// mark FF FE, then each unit low byte first.
std::string utf16LeFileBytes(std::u16string_view text);
// The text of UTF-16LE bytes, after the mark FF FE when there is one; an odd
// last byte is dropped.
std::u16string utf16LeText(std::string_view bytes);

} // namespace orvane
