// The clipboard: text through SDL, converted between the program's ISO-8859-1 and the system's UTF-8. SDL2 has no
// image clipboard, so images can neither be read nor written here.
#pragma once

#include "host/bitmap.h"

#include <cstdint>

constexpr int kClipboardEmpty = 0;
constexpr int kClipboardText = 1;
constexpr int kClipboardImage = 2;
constexpr int kClipboardOther = 4;
constexpr int kErrClipboardFormat = 1361; // "Unknown data format in clipboard!"

struct ClipboardData {
    char *text = nullptr; // kind 1: zero-terminated ISO-8859-1; ReadClipboard's copy is freed with FreeBlock
    int32_t width = 0;    // kind 2
    int32_t height = 0;
    HostBitmap *bitmap = nullptr;
};

// Kind 1 writes the text; kind 2 (an image) cannot be stored and gives 1361 without touching the clipboard, as
// does any other kind. 0 on success, 1025 when the clipboard cannot be opened.
int WriteClipboard(int kind, const ClipboardData *data);
// *kind: 0 empty, 1 text (data->text is a new block). Contents that are not text give 1361.
int ReadClipboard(ClipboardData *data, int *kind);
// *kind: 0, 1 or 4 (something that is not text). 0 or 1025.
int QueryClipboardType(int *kind);
// Writes " " as text.
int BlankClipboard();

// Connects ":::clipboard" streams (host/virtual_file.h) to this clipboard. Called when video starts; the player
// calls it at start-up too, so the stream works before the first window.
void InstallClipboardStream();
