// Settings file: UTF-16LE with byte-order mark and CR LF, fourteen lines: the
// seed, node count and map count texts, then the eleven placement integers.
#include "ui/settings.h"
#include "platform/platform.h"
#include "runs/runs.h"
#include "ui/ui.h"
#include <algorithm>
#include <climits>
#include <cstdio>

std::u16string settingsPath;
int32_t windowPlacement[11];

namespace {
constexpr int lineCount = 14;
constexpr size_t lineUnits = 31;          // a line is read 31 units at a time
constexpr size_t mostFileBytes = 1 << 16;  // more than any settings file holds
constexpr int32_t placementLength = 44;
bool placementLoaded = false;

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// UTF-8 to UTF-16; a malformed sequence gives U+FFFD for its first byte.
std::u16string utf8ToText(const unsigned char* p, size_t size)
{
    std::u16string out;
    for (size_t i = 0; i < size;) {
        const unsigned b = p[i];
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + extra < size;
        for (int k = 1; ok && k <= extra; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || c > 0x10FFFF) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += 1 + extra;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// Decodes the file as text mode with Unicode encoding does: FF FE or no mark
// gives UTF-16LE, EF BB BF gives UTF-8; CR LF comes in as LF.
std::u16string decodeText(const unsigned char* bytes, size_t size)
{
    std::u16string text;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text = utf8ToText(bytes + 3, size - 3);
    } else {
        const size_t from = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
        for (size_t i = from; i + 1 < size; i += 2) text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    std::u16string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) lines += text[i];
    return lines;
}

// Splits like the wide line read with a 32-unit buffer: at most 31 units, up to
// and without the line feed; a longer line comes in pieces. Fewer than
// fourteen lines when the text ends first.
int splitLines(const std::u16string& text, std::u16string lines[lineCount])
{
    size_t at = 0;
    int n = 0;
    while (n < lineCount && at < text.size()) {
        const size_t feed = text.find(u'\n', at);
        const size_t end = std::min(feed == std::u16string::npos ? text.size() : feed + 1, at + lineUnits);
        std::u16string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == u'\n') line.pop_back();
        lines[n++] = line.substr(0, line.find(u'\0'));
        at = end;
    }
    return n;
}

// A field text: at most 15 units, never ending in half a surrogate pair.
void copyFieldText(const std::u16string& line, char16_t* buffer)
{
    size_t n = std::min(line.size(), static_cast<size_t>(textBufferUnits - 1));
    if (n < line.size() && n > 0 && isLowSurrogate(line[n])) --n;
    for (size_t i = 0; i < n; ++i) buffer[i] = line[i];
    buffer[n] = 0;
}

// Signed decimal: white space, sign, digits up to the first other unit; no
// digits give 0; beyond 32 bits the nearest limit.
int32_t parseInteger(const std::u16string& line)
{
    size_t i = 0;
    while (i < line.size() && (line[i] == u' ' || (line[i] >= u'\t' && line[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == u'+' || line[i] == u'-')) negative = line[i++] == u'-';
    int64_t value = 0;
    for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i)
        value = std::min<int64_t>(value * 10 + (line[i] - u'0'), int64_t{1} << 32);
    value = negative ? -value : value;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

bool plausiblePlacement(const int32_t p[11])
{
    return p[0] == placementLength && p[9] > p[7] && p[10] > p[8];
}

void appendAscii(std::u16string& text, const char* ascii)
{
    while (*ascii) text += static_cast<char16_t>(*ascii++);
}
}  // namespace

void buildSettingsPath()
{
    settingsPath.clear();
    const std::u16string exe = executablePath();
    const size_t slash = exe.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos ? exe : exe.substr(slash + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
    settingsPath = pathBesideExecutable(name + u".ini");
}

bool placementUsable() { return placementLoaded; }

void loadSettingsFromBytes(const unsigned char* bytes, size_t size)
{
    std::u16string lines[lineCount];
    const int n = splitLines(decodeText(bytes, size), lines);
    copyFieldText(lines[0], seedText);
    copyFieldText(lines[1], nodeCountText);
    copyFieldText(lines[2], mapCountText);
    for (int i = 0; i < 11; ++i) windowPlacement[i] = parseInteger(lines[3 + i]);
    placementLoaded = n == lineCount && plausiblePlacement(windowPlacement);
    if (!placementLoaded)
        for (int32_t& v : windowPlacement) v = 0;
}

void loadSettings()
{
    if (settingsPath.empty()) return;
    FILE* f = openFile(settingsPath, "rb");
    if (!f) return;
    std::string bytes(mostFileBytes, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    loadSettingsFromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string settingsContent()
{
    std::u16string text = std::u16string(seedText) + u"\r\n" + nodeCountText + u"\r\n" + mapCountText + u"\r\n";
    for (int32_t v : windowPlacement) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%d\r\n", static_cast<int>(v));
        appendAscii(text, buf);
    }
    std::string bytes("\xFF\xFE", 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void saveSettings()
{
    readControlText(idSeedField, seedText, textBufferUnits);
    readControlText(idNodeField, nodeCountText, textBufferUnits);
    readControlText(idMapCountField, mapCountText, textBufferUnits);
    readWindowPlacement(windowPlacement);
    windowPlacement[0] = placementLength;
    if (settingsPath.empty()) return;
    // Written beside the file and moved over it, so a failed write never
    // leaves a cut file in place of the previous one.
    const std::string bytes = settingsContent();
    const std::u16string temporary = settingsPath + u".part";
    if (FILE* f = openFile(temporary, "wb")) {
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = std::fclose(f) == 0 && ok;
        if (ok && renameFile(temporary, settingsPath)) return;
        removeFile(temporary);
        return;
    }
    // No room for the temporary name: write the file itself.
    if (FILE* f = openFile(settingsPath, "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}
