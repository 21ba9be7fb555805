// Headless back end: control state in memory, every side effect recorded.
#include "platform/platform.h"
#include "platform/headless.h"
#include "text/utf.h"
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

namespace orvane {

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
WindowPlacement windowPlacementRecord;

uint32_t steadyMillis()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void record(HeadlessEvent::Kind kind, int id, int value, std::u16string text = {})
{
    events.push_back({kind, id, value, std::move(text)});
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
WindowPlacement readWindowPlacement() { return windowPlacementRecord; }

void invalidateView(bool erase) { record(HeadlessEvent::invalidate, 0, erase); }
void invalidateViewRect(int left, int top, int, int, bool erase)
{
    record(HeadlessEvent::invalidateRect, left * 65536 + top, erase);
}
void updateMainWindow() { record(HeadlessEvent::updateMain, 0, 0); }
void updateView() { record(HeadlessEvent::updateView, 0, 0); }
void updateControl(int id) { record(HeadlessEvent::updateControl, id, 0); }

#ifdef _WIN32
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

#else
std::u16string executablePath()
{
    if (!exePathOverride.empty()) return exePathOverride;
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return utf8ToUtf16(std::string(buf, static_cast<size_t>(n)));
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
    windowPlacementRecord = {};
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
void headlessSetWindowPlacement(const WindowPlacement& placement) { windowPlacementRecord = placement; }

}  // namespace orvane
