#include "host/charset.h"
#include "host/clipboard.h"
#include "host/memory.h"
#include "host/screen.h"
#include "host/virtual_file.h"

#include "runtime/app/errors.h"

#include <SDL.h>

#include <cstring>
#include <string>

namespace {

// Set by the test injection when the clipboard is to hold something that is not text (SDL2 cannot see such
// contents itself); any text write clears it.
bool foreignContents = false;
// What this program wrote last. The tools' image and SDL's text are two separate stores here (SDL keeps its own
// under the headless drivers), so after our own text write an older image in the tools must not win.
int lastWritten = kClipboardEmpty;

// Whether to look at the tools' image before the text.
bool ImageFirst() { return lastWritten != kClipboardText && ClipboardHasImage(); }

int SetText(const std::string &latin1) {
    if (EnsureVideo() != 0) return kErrCannotOpen;
    std::string utf8 = Latin1ToUtf8(latin1);
    if (SDL_SetClipboardText(utf8.c_str()) != 0) {
        SetErrorArgString("clipboard");
        return kErrCannotOpen;
    }
    foreignContents = false;
    lastWritten = kClipboardText;
    return 0;
}

int GetText(std::string *latin1, bool *present) {
    *present = false;
    if (EnsureVideo() != 0) return kErrCannotOpen;
    if (!SDL_HasClipboardText()) return 0;
    char *utf8 = SDL_GetClipboardText();
    if (!utf8) return 0;
    *latin1 = Utf8ToLatin1(utf8);
    SDL_free(utf8);
    *present = !latin1->empty();
    return 0;
}

int StreamRead(std::vector<uint8_t> *out) {
    if (foreignContents) return kErrClipboardFormat;
    std::string text;
    bool present;
    if (int r = GetText(&text, &present)) return r;
    out->assign(text.begin(), text.end());
    return 0;
}

int StreamWrite(const uint8_t *bytes, size_t size) {
    return SetText(std::string(reinterpret_cast<const char *>(bytes), size));
}

} // namespace

void InstallClipboardStream() { SetClipboardStreamHooks(StreamRead, StreamWrite); }

int WriteClipboard(int kind, const ClipboardData *data) {
    if (!data) return kErrClipboardFormat;
    if (kind == kClipboardImage) {
        // Without a clipboard tool saying "done" would lose the user's picture silently.
        int r = WriteClipboardImage(data->bitmap, data->alpha, data->width, data->height);
        if (r == 0) lastWritten = kClipboardImage, foreignContents = false;
        return r;
    }
    if (kind != kClipboardText) return kErrClipboardFormat;
    return SetText(data->text ? data->text : "");
}

int ReadClipboard(ClipboardData *data, int *kind) {
    *kind = kClipboardEmpty;
    data->text = nullptr;
    data->bitmap = nullptr;
    data->alpha = nullptr;
    if (foreignContents) return kErrClipboardFormat;
    if (ImageFirst()) {
        if (int r = ReadClipboardImage(data)) return r;
        *kind = kClipboardImage;
        return 0;
    }
    std::string text;
    bool present;
    if (int r = GetText(&text, &present)) return r;
    if (!present) return 0;
    auto *copy = static_cast<char *>(AllocBlock(text.size() + 1, 0));
    if (!copy) return kErrOutOfMemory;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    data->text = copy;
    *kind = kClipboardText;
    return 0;
}

int QueryClipboardType(int *kind) {
    *kind = kClipboardEmpty;
    if (EnsureVideo() != 0) return kErrCannotOpen;
    if (foreignContents) *kind = kClipboardOther;
    else if (ImageFirst()) *kind = kClipboardImage;
    else if (SDL_HasClipboardText()) *kind = kClipboardText;
    return 0;
}

int BlankClipboard() { return SetText(" "); }

void InjectClipboardForeignContents() { foreignContents = true; }
