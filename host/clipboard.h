// The clipboard: text through SDL, converted between the program's ISO-8859-1 and the system's UTF-8. SDL2 has no
// image clipboard, so images travel as PNG through the desktop's clipboard tools: wl-copy/wl-paste under Wayland,
// xclip under X11. Without either, images can neither be read nor written.
#pragma once

#include "host/bitmap.h"
#include "runtime/app/errors.h"

#include <cstdint>

constexpr int kClipboardEmpty = 0;
constexpr int kClipboardText = 1;
constexpr int kClipboardImage = 2;
constexpr int kClipboardOther = 4;

struct ClipboardData {
    char *text = nullptr; // kind 1: zero-terminated ISO-8859-1; ReadClipboard's copy is freed with FreeBlock
    int32_t width = 0;    // kind 2
    int32_t height = 0;
    HostBitmap *bitmap = nullptr; // ReadClipboard's is new (FreeHostBitmap)
    AlphaPlane *alpha = nullptr;  // kind 2: null when the image is opaque; ReadClipboard's is new
};

// Kind 1 writes the text; kind 2 the image (width x height of bitmap, with alpha when given). An image without a
// clipboard tool, and any other kind, gives kErrClipboardFormat without touching the clipboard. 0 on success,
// kErrCannotOpen when the clipboard cannot be opened.
int WriteClipboard(int kind, const ClipboardData *data);
// *kind: 0 empty, 1 text (data->text is a new block), 2 image (new bitmap and alpha). Other contents give
// kErrClipboardFormat.
int ReadClipboard(ClipboardData *data, int *kind);
// *kind: 0, 1, 2 or 4 (something else). 0 or kErrCannotOpen.
int QueryClipboardType(int *kind);
// Writes " " as text.
int BlankClipboard();

// Connects ":::clipboard" streams (host/virtual_file.h) to this clipboard. Called when video starts; the player
// calls it at start-up too, so the stream works before the first window.
void InstallClipboardStream();

// ---- The image side (clipboard_image.cpp) -------------------------------------------------------------------
// 0, kErrClipboardFormat without a tool, kErrCannotOpen when the tool fails.
int WriteClipboardImage(const HostBitmap *bitmap, const AlphaPlane *alpha, int32_t width, int32_t height);
// True when the desktop's clipboard offers a PNG image.
bool ClipboardHasImage();
// 0 with a new bitmap (and alpha plane when the PNG has transparency) in data; kErrClipboardFormat when no image can
// be read.
int ReadClipboardImage(ClipboardData *data);
