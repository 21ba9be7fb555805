// The few window and system services the portable logic uses. One back end is
// linked in: Win32 for the program, headless for the companion and the tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Control ids of the main window.
enum : int {
    idSeedLabel = 1000, idFix = 1001, idSeedField = 1002, idAuto = 1003, idNodeField = 1004,
    idMapRequest = 1005, idStatus = 1006, idStep = 1007, idFull = 1008, idClear = 1009,
    idExport = 1010, idMapCountField = 1011, idBatch = 1012
};

// Millisecond clock (wraps after 2^32 ms).
uint32_t clockMillis();

// Control texts, by id. readControlText copies at most capacity - 1 units and
// always terminates; it returns the number of units copied.
int readControlText(int id, char16_t* buffer, int capacity);
void writeControlText(int id, const char16_t* text);

// Enable and show states of controls, keyboard focus.
void enableControl(int id, bool enabled);
bool controlEnabled(int id);
void showControl(int id, bool shown);
void focusMainWindow();
// The main window's placement record as eleven integers: length, flags, show
// command, minimised x, y, maximised x, y, normal left, top, right, bottom.
void readWindowPlacement(int32_t placement[11]);

// Keyboard handling of the message loop.
int focusedControl();              // id of the control with the focus; 0 elsewhere
bool shiftDown();                  // Shift key state at the time of the call
void focusControl(int id);
void selectWholeText(int id);      // select a field's text from 0 to the end
void sendCommand(int id);          // the command of a button, delivered at once

// Repainting.
void invalidateView(bool erase);
void invalidateViewRect(int left, int top, int right, int bottom, bool erase);
void updateMainWindow();   // repaint the main window at once
void updateView();         // repaint the map view at once
void updateControl(int id);

// Files.
std::u16string executablePath();                 // full path; empty when unknown
bool createFolder(const std::u16string& path);   // true when it exists afterwards
FILE* openFile(const std::u16string& path, const char* mode);  // binary modes
bool removeFile(const std::u16string& path);
bool renameFile(const std::u16string& from, const std::u16string& to);
#ifdef _WIN32
inline constexpr char16_t pathSeparator = u'\\';
#else
inline constexpr char16_t pathSeparator = u'/';
#endif

struct LocalTime { int year, month, day, hour, minute, second; };
LocalTime localTime();

// Text in the user's locale encoding (code page of the system on Windows, UTF-8 elsewhere).
std::string toLocaleEncoding(const std::u16string& text);
