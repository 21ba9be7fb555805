// Headless back end: control state in memory, every side effect recorded.
#include "platform/platform.h"
#include "platform/headless.h"
#include <chrono>
#include <ctime>
#include <map>
#include <sys/stat.h>
#include <climits>
#include <cstring>
#include <optional>
#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <wchar.h>
#else
#include <unistd.h>
#endif

namespace {
std::map<int, std::u16string> texts;
std::map<int, bool> enabled;
std::map<int, bool> shown;
std::vector<HeadlessEvent> events;
ClockFunction clockOverride = nullptr;
std::u16string exePathOverride;
std::optional<LocalTime> timeOverride;
int focusId = 0;
bool shiftState = false;
CommandHandler commandHandler = nullptr;
int32_t windowPlacementRecord[11];

uint32_t steadyMillis()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void record(HeadlessEvent::Kind kind, int id, int value, std::u16string text = {})
{
    events.push_back({kind, id, value, std::move(text)});
}

std::string toUtf8(const std::u16string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

[[maybe_unused]] std::u16string fromUtf8(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        uint32_t c;
        int extra;
        if (b < 0x80) { c = b; extra = 0; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; }
        else { c = b & 0x07; extra = 3; }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
}  // namespace

uint32_t clockMillis() { return clockOverride ? clockOverride() : steadyMillis(); }

int readControlText(int id, char16_t* buffer, int capacity)
{
    if (capacity <= 0) return 0;
    const std::u16string& t = texts[id];
    int n = static_cast<int>(t.size()) < capacity - 1 ? static_cast<int>(t.size()) : capacity - 1;
    for (int i = 0; i < n; ++i) buffer[i] = t[i];
    buffer[n] = 0;
    return n;
}

void writeControlText(int id, const char16_t* text)
{
    texts[id] = text;
    record(HeadlessEvent::text, id, 0, texts[id]);
}

void enableControl(int id, bool on)
{
    enabled[id] = on;
    record(HeadlessEvent::enable, id, on);
}

bool controlEnabled(int id)
{
    auto it = enabled.find(id);
    return it == enabled.end() ? true : it->second;
}

void showControl(int id, bool on)
{
    shown[id] = on;
    record(HeadlessEvent::show, id, on);
}

void focusMainWindow()
{
    focusId = 0;
    record(HeadlessEvent::focusMain, 0, 0);
}

int focusedControl() { return focusId; }
bool shiftDown() { return shiftState; }
void focusControl(int id)
{
    focusId = id;
    record(HeadlessEvent::focusControl, id, 0);
}
void selectWholeText(int id) { record(HeadlessEvent::selectText, id, 0); }
void sendCommand(int id)
{
    record(HeadlessEvent::command, id, 0);
    if (commandHandler) commandHandler(id);
}
void readWindowPlacement(int32_t placement[11])
{
    for (int i = 0; i < 11; ++i) placement[i] = windowPlacementRecord[i];
}

void invalidateView(bool erase) { record(HeadlessEvent::invalidate, 0, erase); }
void invalidateViewRect(int left, int top, int, int, bool erase)
{
    record(HeadlessEvent::invalidateRect, left * 65536 + top, erase);
}
void updateMainWindow() { record(HeadlessEvent::updateMain, 0, 0); }
void updateView() { record(HeadlessEvent::updateView, 0, 0); }
void updateControl(int id) { record(HeadlessEvent::updateControl, id, 0); }

#ifdef _WIN32
// The C runtime's wide calls; wchar_t is 16 bits here, as char16_t.
namespace {
std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
}

std::u16string executablePath()
{
    if (!exePathOverride.empty()) return exePathOverride;
    const wchar_t* path = _wpgmptr;
    if (path && *path) return std::u16string(path, path + wcslen(path));
    // A program entered through main has only the narrow name.
    const char* narrow = _pgmptr;
    if (!narrow) return {};
    std::wstring w(std::strlen(narrow) + 1, L'\0');
    const size_t n = std::mbstowcs(w.data(), narrow, w.size());
    if (n == static_cast<size_t>(-1)) return {};
    return std::u16string(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(n));
}

bool createFolder(const std::u16string& path)
{
    const std::wstring p = wide(path);
    if (_wmkdir(p.c_str()) == 0) return true;
    struct _stat64 st;
    return _wstat64(p.c_str(), &st) == 0 && (st.st_mode & _S_IFDIR);
}

FILE* openFile(const std::u16string& path, const char* mode)
{
    return _wfopen(wide(path).c_str(), std::wstring(mode, mode + std::strlen(mode)).c_str());
}
bool removeFile(const std::u16string& path) { return _wremove(wide(path).c_str()) == 0; }
// The runtime's rename does not replace an existing file here, so the target goes first.
bool renameFile(const std::u16string& from, const std::u16string& to)
{
    _wremove(wide(to).c_str());
    return _wrename(wide(from).c_str(), wide(to).c_str()) == 0;
}
#else
std::u16string executablePath()
{
    if (!exePathOverride.empty()) return exePathOverride;
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return fromUtf8(std::string(buf, static_cast<size_t>(n)));
}

bool createFolder(const std::u16string& path)
{
    std::string p = toUtf8(path);
    if (mkdir(p.c_str(), 0777) == 0) return true;
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FILE* openFile(const std::u16string& path, const char* mode) { return std::fopen(toUtf8(path).c_str(), mode); }
bool removeFile(const std::u16string& path) { return std::remove(toUtf8(path).c_str()) == 0; }
bool renameFile(const std::u16string& from, const std::u16string& to)
{
    return std::rename(toUtf8(from).c_str(), toUtf8(to).c_str()) == 0;
}

#endif

LocalTime localTime()
{
    if (timeOverride) return *timeOverride;
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string toLocaleEncoding(const std::u16string& text) { return toUtf8(text); }

// Headless extras.
std::vector<HeadlessEvent>& headlessEvents() { return events; }
void headlessReset()
{
    texts.clear();
    enabled.clear();
    shown.clear();
    events.clear();
    focusId = 0;
    shiftState = false;
    for (int32_t& v : windowPlacementRecord) v = 0;
}
void headlessSetClock(ClockFunction clock) { clockOverride = clock; }
void headlessSetExecutablePath(const std::u16string& path) { exePathOverride = path; }
void headlessSetLocalTime(int year, int month, int day, int hour, int minute, int second)
{
    timeOverride = LocalTime{year, month, day, hour, minute, second};
}
std::u16string headlessControlText(int id) { return texts[id]; }
bool headlessControlEnabled(int id) { return controlEnabled(id); }
bool headlessControlShown(int id)
{
    auto it = shown.find(id);
    return it == shown.end() ? true : it->second;
}
void headlessSetFocus(int id) { focusId = id; }
void headlessSetShift(bool down) { shiftState = down; }
void headlessSetCommandHandler(CommandHandler handler) { commandHandler = handler; }
void headlessSetWindowPlacement(const int32_t placement[11])
{
    for (int i = 0; i < 11; ++i) windowPlacementRecord[i] = placement[i];
}
