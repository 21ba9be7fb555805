// Extra controls of the headless back end, for the companion and the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/platform.h"

namespace orvane {

struct HeadlessEvent {
    enum Kind { text, enable, show, focusMain, invalidate, invalidateRect, updateMain, updateView, updateControl,
                focusControl, selectText, command } kind;
    int id;                 // control id, or 0
    int value;              // enabled/shown flag, erase flag
    std::u16string textValue;
};

// Recorded side effects, oldest first.
std::vector<HeadlessEvent>& headlessEvents();
void headlessReset();                       // clears texts, states and the record

// Clock: by default the steady clock in ms. A test may install its own.
using ClockFunction = uint32_t (*)();
void headlessSetClock(ClockFunction clock); // null restores the real clock

// Executable path used for files beside the executable (default: the real one).
void headlessSetExecutablePath(const std::u16string& path);
void headlessSetLocalTime(int year, int month, int day, int hour, int minute, int second);

std::u16string headlessControlText(int id);
bool headlessControlEnabled(int id);
bool headlessControlShown(int id);

// Keyboard state: the control with the focus (0: the main window or elsewhere),
// the Shift key, and where sent commands go (default: only recorded).
void headlessSetFocus(int id);
void headlessSetShift(bool down);
using CommandHandler = void (*)(int id);
void headlessSetCommandHandler(CommandHandler handler);

// The placement readWindowPlacement gives (all zeros after headlessReset).
void headlessSetWindowPlacement(const WindowPlacement& placement);

}  // namespace orvane
