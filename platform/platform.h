// The few window and system services the portable logic uses. One back end is
// linked in: Win32 for the program, headless for the companion and the tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace orvane {

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
// The main window's placement as the platform records it.
struct WindowPlacement {
    int32_t length = 0;  // of the platform's record
    int32_t flags = 0;
    int32_t showCommand = 0;
    int32_t minimisedX = 0, minimisedY = 0;
    int32_t maximisedX = 0, maximisedY = 0;
    int32_t normalLeft = 0, normalTop = 0, normalRight = 0, normalBottom = 0;

    bool operator==(const WindowPlacement&) const = default;
};
WindowPlacement readWindowPlacement();

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

// Files. Operations that can fail give 0, or the error number (an errno
// value) of the failure; errorText names it.
std::u16string executablePath();                 // full path; empty when unknown
bool createFolder(const std::u16string& path);   // one level; true when it exists afterwards
// Makes every missing folder of `path`, as mkdir -p does; on failure `failed`
// names the folder that could not be made.
int createFolders(const std::u16string& path, std::u16string& failed);
FILE* openFile(const std::u16string& path, const char* mode);  // for reading; binary modes
enum class FileKind { none, regular, folder, other };
// Opens `path` for reading (binary) only when it is a regular file, never
// waiting on a pipe or a device: `kind` says what it is (following links),
// and `size` its size when it was opened. 0 with no file open when it is no
// regular file; else the error of the opening.
int openRegularFile(const std::u16string& path, FILE** file, FileKind& kind, uint64_t& size);
// Opens a file for writing (binary), truncating it, or only when it does not
// exist yet (exclusive: EEXIST when it does).
int createFile(const std::u16string& path, bool exclusive, FILE** file);
int writeFile(FILE* file, const void* data, size_t size);  // all of it, or the error
int seekFile(FILE* file, long offset);
int flushFile(FILE* file);
int closeFile(FILE* file);  // closes in any case
bool removeFile(const std::u16string& path);
int replaceFile(const std::u16string& from, const std::u16string& to);  // rename, over an existing file
FileKind fileKind(const std::u16string& path);  // following symbolic links
// The file a chain of symbolic links ends at; the path itself when it is no link.
std::u16string linkTarget(const std::u16string& path);
std::string errorText(int error);
// Writes `bytes` to `path` whole or not at all: into a side file of a unique
// name in the same folder, then renamed over the target, so an earlier file is
// never damaged and no side file is left. A symbolic link is followed to the
// file it names; an existing file that is not a regular file (a device, a pipe)
// is written directly.
int writeWholeFile(const std::u16string& path, const std::string& bytes);

#ifdef _WIN32
inline constexpr char16_t pathSeparator = u'\\';
inline constexpr size_t maxPathUnits = 259;  // MAX_PATH less the terminator
#else
inline constexpr char16_t pathSeparator = u'/';
inline constexpr size_t maxPathUnits = 4095;
#endif

struct LocalTime { int year, month, day, hour, minute, second; };
LocalTime localTime();

// Text in the user's locale encoding (code page of the system on Windows, UTF-8 elsewhere).
std::string toLocaleEncoding(const std::u16string& text);

}  // namespace orvane
