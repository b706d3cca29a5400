// Synthetic input for tests: each call pushes the SDL event a real device would, so the pump's own path runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostWindow;

// key: an ISO-8859-1 character (unshifted, as the key is labelled) or a key-name code 256..290; qualifiers are
// key-name qualifier bits. A key that types a character is followed by the text a US keyboard gives it, unless
// control, Alt or a command key is held; text of another layout: the key with AltGr (right Alt), then InjectText.
void InjectKey(const HostWindow *window, int32_t key, int down, uint32_t qualifiers);
// The text a keyboard layout or input method sends (UTF-8), with or without a key before it.
void InjectText(const HostWindow *window, const char *utf8);
// button: 1 left, 2 right, 3 middle.
void InjectMouseButton(const HostWindow *window, int button, int32_t x, int32_t y, int down);
void InjectMouseMotion(const HostWindow *window, int32_t x, int32_t y);
void InjectMouseWheel(const HostWindow *window, int32_t dy); // positive: away from the user (up)
// kind: the queue kind the event should become (4 moved, 5 resized, 6 inactive, 7 close gadget, 8 active,
// 9 hidden, 10 shown); a and b carry the new position or size for 4 and 5. A resize also gives the window that
// size first, as the window manager does.
void InjectWindowEvent(const HostWindow *window, int kind, int32_t a = 0, int32_t b = 0);
// The mouse moves into the window (the pointer of the window it enters takes over).
void InjectMouseEnter(const HostWindow *window);
// What is shown: returns 1 when the pointer is visible; *source is 1 when the window's own pointer is in force, 0
// when the window's system pointer is, -1 when another window's is; *kind is the window's own pointer's kind
// (kHostPointerImage or kHostPointerBusy). Headless drivers make no cursors, so this reads the host's choice.
int ReadPointerState(const HostWindow *window, int *source, int *kind);
void InjectDropFiles(const HostWindow *window, const std::vector<std::string> &names);
void InjectClipboardUpdate();
void InjectQuit(); // what a break (CTRL-C) delivers
// Holds the modifier keys (key-name qualifier bits) as the keyboard would, for ReadQualifierKeys; 0 lets all go.
void InjectQualifierKeys(uint32_t qualifiers);
// Headless runs only: the desktop the host reports (screen attributes, what fits, the fake full screen) becomes
// width x height instead of the headless default of 7680x4320; 0, 0 gives the default back, and so does stopping
// video. 0, or -1 with nothing changed when the video driver is not offscreen or dummy.
int SetHeadlessScreenSize(int32_t width, int32_t height);
// Makes the clipboard hold something that is not text (an image copied by another program, say), until the next
// text write.
void InjectClipboardForeignContents();
// What the window shows (the window's inner size, 0x00RRGGBB per pixel) as the last present left its picture;
// 0, or -1 when the window is not open or the driver cannot read back.
int ReadWindowPixels(const HostWindow *window, uint32_t *out);
// What the own screen shows, composed at the screen's size (0x00RRGGBB per pixel): with a null out only the size.
// 0, or -1 when no display is open on the own screen or the driver cannot read back.
int ReadScreenPixels(uint32_t *out, int32_t *width, int32_t *height);
