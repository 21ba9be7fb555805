// Settings file: UTF-16LE with byte-order mark and CR LF, fourteen lines: the
// seed, node count and map count texts, then the eleven placement integers.
#include "ui/settings.h"
#include <algorithm>
#include <climits>
#include <cstdio>
#include "platform/platform.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace orvane {

namespace {
constexpr int lineCount = 14;
constexpr size_t lineUnits = 31;          // a line is read 31 units at a time
constexpr size_t mostFileBytes = 1 << 16;  // more than any settings file holds
constexpr int32_t placementLength = 44;

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// Decodes the file as text mode with Unicode encoding does: FF FE or no mark
// gives UTF-16LE, EF BB BF gives UTF-8; CR LF comes in as LF.
std::u16string decodeText(const unsigned char* bytes, size_t size)
{
    std::u16string text;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text = utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes) + 3, size - 3));
    } else {
        text = utf16LeText(std::string_view(reinterpret_cast<const char*>(bytes), size));
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

bool plausiblePlacement(const WindowPlacement& p)
{
    return p.length == placementLength && p.normalRight > p.normalLeft && p.normalBottom > p.normalTop;
}

}  // namespace

std::u16string settingsPathBesideExecutable()
{
    const std::u16string exe = executablePath();
    const size_t slash = exe.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos ? exe : exe.substr(slash + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
    return pathBesideExecutable(name + u".ini");
}

bool placementFitsDesktop(const Settings& settings, DesktopRect d)
{
    if (!settings.placementLoaded) return false;
    const WindowPlacement& p = settings.windowPlacement;
    const int64_t left = p.normalLeft, top = p.normalTop, right = p.normalRight, bottom = p.normalBottom;
    const bool fits = right - left <= int64_t{d.right} - d.left && bottom - top <= int64_t{d.bottom} - d.top;
    const bool overlaps = right > d.left && left < d.right && bottom > d.top && top < d.bottom;
    return fits && overlaps;
}

void loadSettingsFromBytes(Settings& settings, FieldTexts& fields, const unsigned char* bytes, size_t size)
{
    std::u16string lines[lineCount];
    const int n = splitLines(decodeText(bytes, size), lines);
    copyFieldText(lines[0], fields.seedText);
    copyFieldText(lines[1], fields.nodeCountText);
    copyFieldText(lines[2], fields.mapCountText);
    WindowPlacement& placement = settings.windowPlacement;
    for (int i = 0; i < 11; ++i) placement.*placementLines[i] = parseInteger(lines[3 + i]);
    settings.placementLoaded = n == lineCount && plausiblePlacement(placement);
    if (!settings.placementLoaded) placement = {};
}

void loadSettings(Settings& settings, FieldTexts& fields)
{
    if (settings.path.empty()) return;
    FILE* f = openFile(settings.path, "rb");
    if (!f) return;
    std::string bytes(mostFileBytes, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    loadSettingsFromBytes(settings, fields, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string settingsContent(const Settings& settings, const FieldTexts& fields)
{
    std::u16string text = std::u16string(fields.seedText) + u"\r\n" + fields.nodeCountText + u"\r\n" +
                          fields.mapCountText + u"\r\n";
    for (int32_t WindowPlacement::*line : placementLines) text += decimalText(settings.windowPlacement.*line) + u"\r\n";
    return utf16LeFileBytes(text);
}

void saveSettings(Settings& settings, FieldTexts& fields)
{
    readControlText(idSeedField, fields.seedText, textBufferUnits);
    readControlText(idNodeField, fields.nodeCountText, textBufferUnits);
    readControlText(idMapCountField, fields.mapCountText, textBufferUnits);
    settings.windowPlacement = readWindowPlacement();
    settings.windowPlacement.length = placementLength;
    if (settings.path.empty()) return;
    // Written beside the file and moved over it, so a failed write never
    // leaves a cut file in place of the previous one.
    writeWholeFile(settings.path, settingsContent(settings, fields));
}

}  // namespace orvane
