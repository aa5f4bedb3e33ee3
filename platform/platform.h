// The platform seam: windows, messages, display mode, time, the log file and
// text conversion, in the shape the engine expects of a Win32-like system.
// Only files in platform/ implement it; the Linux backend is X11 + POSIX
// (x11_*.cpp, posix_*.cpp). Handles are opaque records of this layer, never
// raw X ids, so a win32_* backend can slot in behind the same declarations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct InstanceRecord;
struct WindowRecord;
using Instance = InstanceRecord*;  // the process token (display connection)
using WindowHandle = WindowRecord*;

using MessageId = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using Result = intptr_t;

// Message numbers and virtual keys keep their Win32 values.
constexpr MessageId WM_DESTROY = 0x0002;
constexpr MessageId WM_MOVE = 0x0003;
constexpr MessageId WM_SIZE = 0x0005;
constexpr MessageId WM_SETTEXT = 0x000C;
constexpr MessageId WM_CLOSE = 0x0010;
constexpr MessageId WM_QUIT = 0x0012;
constexpr MessageId WM_KEYDOWN = 0x0100;
constexpr MessageId WM_CHAR = 0x0102;
constexpr WParam VK_TAB = 0x09;
constexpr WParam VK_ESCAPE = 0x1B;
constexpr WParam VK_SPACE = 0x20;
constexpr WParam VK_PRIOR = 0x21;  // Page Up
constexpr WParam VK_NEXT = 0x22;   // Page Down
constexpr WParam VK_END = 0x23;
constexpr WParam VK_HOME = 0x24;
constexpr WParam VK_LEFT = 0x25;
constexpr WParam VK_RIGHT = 0x27;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// Class style bits and window styles, kept for the record the class holds.
constexpr uint32_t CS_VREDRAW = 0x0001;
constexpr uint32_t CS_HREDRAW = 0x0002;
constexpr uint32_t CS_OWNDC = 0x0020;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100;
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;

struct Message {
    WindowHandle window = nullptr;
    MessageId message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

using WindowProcedure = Result (*)(WindowHandle, MessageId, WParam, LParam);

struct WindowClass {
    uint32_t style = 0;
    WindowProcedure procedure = nullptr;
    Instance instance = nullptr;
    const char16_t* className = nullptr;
};

// --- process ---------------------------------------------------------------

// The process token; opens the display connection on first use (null without
// a display).
Instance GetInstance();

// --- windows (x11_window.cpp) -----------------------------------------------

// Registers the one class; false when a class of that name already exists.
bool RegisterClass(const WindowClass& windowClass);

// Creates a window of a registered class. Messages the creation produces are
// sent synchronously to the class procedure. Null on failure.
WindowHandle CreateWindow(uint32_t exStyle, const char16_t* className, const char16_t* caption,
                          uint32_t style, int x, int y, int width, int height, Instance instance);
void ShowWindow(WindowHandle window, int command);
// Sends WM_DESTROY to the procedure, then releases the native window.
bool DestroyWindow(WindowHandle window);

int GetWindowTextLength(WindowHandle window);
// Copies at most maxCount units, terminating NUL included; returns the units copied.
int GetWindowText(WindowHandle window, char16_t* text, int maxCount);
bool SetWindowText(WindowHandle window, const char16_t* text);
bool GetClientRect(WindowHandle window, Rect* rect);
// Where the window's top-left corner sits on the screen (outer position).
bool GetWindowPosition(WindowHandle window, int* x, int* y);

int GetScreenWidth();
int GetScreenHeight();

// Switches the screen to width x height if that mode is offered; the original
// mode comes back when the process ends. False when the mode is refused.
bool ChangeDisplayMode(int width, int height);
// Hides the pointer over every window of the process from now on.
void HideCursor();

// --- messages (x11_messages.cpp) --------------------------------------------

// Takes the next message without blocking: posted messages first, then
// translated window-system events. False when nothing is waiting.
bool PeekMessage(Message* message);
void TranslateMessage(const Message* message);
Result DispatchMessage(const Message* message);
void PostQuitMessage(int exitCode);
// Default handling: WM_CLOSE destroys the window, everything else answers 0.
Result DefWindowProc(WindowHandle window, MessageId message, WParam wParam, LParam lParam);

// --- time (posix_time.cpp) --------------------------------------------------

// Milliseconds of a monotonic clock as an unsigned 32-bit count.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

// The local time in the 25-unit asctime layout (ending in LF) plus NUL;
// false when the time cannot be broken down or formatted.
bool FormatAsctime(int64_t* secondsSinceEpoch, char16_t out[26]);

// --- files (posix_file.cpp; reading input files is FileRead.h) --------------

struct FileRecord;
using FileHandle = FileRecord*;
// Opens for writing, takes an exclusive writer lock without waiting, and only
// then truncates. Null when the file cannot be opened or another writer holds
// it; `reason` (may be null) receives a short explanation.
FileHandle CreateExclusiveWriteFile(const char* path, const char** reason);
// One write call of exactly `bytes` bytes; false on failure.
bool WriteFile(FileHandle file, const void* data, uint32_t bytes, uint32_t* written);
void CloseFile(FileHandle file);

// --- text (posix_text.cpp) --------------------------------------------------

// UTF-8 to UTF-16 of exactly `bytes` input bytes into at most `capacity`
// units. A byte that is not part of valid UTF-8 converts on its own as its
// Latin-1 code point. Returns the units written, or with capacity 0 the units
// required; returns 0 and sets *insufficientBuffer when capacity is too small.
int MultiByteToWide(const char* text, int bytes, char16_t* out, int capacity, bool* insufficientBuffer);

}  // namespace platform
