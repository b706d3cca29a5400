// Line input: reads a line from the keyboard at the text cursor, echoing each character as a layer of its own so
// that backspace can take it away. The input is modal: events other than key presses that arrive meanwhile are
// dropped, and a quit request ends the input with what was typed so far.
#include <string>
#include <vector>

#include "host/charset.h"
#include "host/event_queue.h"
#include "host/keys.h"
#include "host/tasks.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"
#include "text/fonts/font_handle.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"

namespace {

constexpr int32_t kKeyBackspace = 271;
constexpr int32_t kKeyTab = 272;
constexpr int32_t kKeyEnter = 273;
constexpr int32_t kKeyReturn = 274;
constexpr int32_t kKeySpace = 276;
constexpr int32_t kEventKeyKind = 3;
constexpr size_t kMaxInput = 1024;

bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) ||
           (c >= 0xF8 && c <= 0xFF);
}
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

bool ClassTakes(int32_t cls, int c) {
    switch (cls) {
    case 0: return (c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFF);
    case 1: return IsLetter(c) || IsDigit(c) || c == ' ';
    case 2: return IsLetter(c) || c == ' ';
    case 3: return IsDigit(c);
    case 4: return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    default: return false;
    }
}

int RefuseOutput(const DisplayRecord *display) {
    switch (display->outputKind) {
    case ObjectKindBGPic: return kErrSelectBGPicActive;
    case ObjectKindBrush: return display->doubleBuffering ? kErrEndDoubleBufferFirst : kErrSelectBrushActive;
    case ObjectKindAnim: return kErrSelectAnimActive;
    case ObjectKindMask: return kErrSelectMaskActive;
    case ObjectKindAlphaChannel: return kErrSelectAlphaChannelActive;
    default: return 0;
    }
}

void RemoveTopLayer(VMState *vm) {
    if (BGPic *bgpic = CurrentBGPic)
        if (vlLayer *top = GetNthLayer(bgpic, CountLayers(bgpic)))
            DeleteLayer(vm, top, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

int CmdInKeyStr(VMState *vm) {
    CheckArgs(vm, 1, 3);
    const int32_t cls = CheckInt32Arg(vm, 1);
    const int32_t maximum = OptInt32Arg(vm, 2, 0);
    const bool password = OptInt32Arg(vm, 3, 0) != 0;
    DisplayRecord *display = CurrentDisplay;
    if (!display || display->state != DISPSTATE_OPEN) return kErrDisplayClosed;
    if (int error = RefuseOutput(display)) return error;
    const bool hadLayers = display->layersEnabled != 0;
    if (!hadLayers)
        if (int error = EnableDisplayLayers(display)) return error;
    const int32_t startX = display->cursorX, startY = display->cursorY;
    // A UTF-8 script gets UTF-8, with the characters past ISO-8859-1 too.
    const bool utf8 = GetDefaultEncoding() == kEncodingUtf8;
    std::string text, echo;
    // Per character typed: the cursor before it and where its bytes start in text.
    struct Typed {
        int32_t x, y;
        size_t at;
    };
    std::vector<Typed> typed;
    int error = 0;
    bool finished = false;
    while (!finished && !error) {
        if (PumpEvents(vm)) break;
        ExpireEvents(vm);
        std::vector<EventInfo> keys;
        {
            std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
            EventInfo info;
            int n = 0;
            while (FetchEvent(vm, n, &info, 0)) {
                if (info.kind == kEventKeyKind && info.down) keys.push_back(info);
                n++;
            }
            if (n > 0) RemoveEvent(vm, n - 1, 0);
        }
        for (const EventInfo &key : keys) {
            int32_t code = key.keyCode;
            if (code == kKeyBackspace) {
                if (typed.empty()) continue;
                text.resize(typed.back().at);
                echo.pop_back();
                RemoveTopLayer(vm);
                display->cursorX = typed.back().x;
                display->cursorY = typed.back().y;
                typed.pop_back();
                continue;
            }
            if (code == kKeyEnter || code == kKeyReturn) {
                finished = true;
                break;
            }
            if (code == kKeySpace || code == kKeyTab) code = ' ';
            const bool wide = (code & kKeyWideCharacter) != 0;
            if (wide ? !utf8 : (code < 0 || code >= 256)) continue;
            if (typed.size() >= kMaxInput) {
                finished = true;
                break;
            }
            // The classes name ISO-8859-1 characters; only ALL takes the others.
            const bool taken = wide ? cls == 0 : ClassTakes(cls, code);
            if ((maximum > 0 && int32_t(typed.size()) >= maximum) || !taken) continue;
            typed.push_back({display->cursorX, display->cursorY, text.size()});
            text += TypedCharacterText(code);
            echo += '*';
            const std::string shown = password ? std::string("*") : text.substr(typed.back().at);
            if ((error = PrintText(vm, shown.data(), shown.size(), true))) break;
        }
        if (!finished && !error) WaitSystemSignals(vm, 0);
    }
    for (size_t i = 0; i < typed.size(); i++) RemoveTopLayer(vm);
    if (!hadLayers) display->layersEnabled = 0;
    if (error) return error;
    display->cursorX = startX;
    display->cursorY = startY;
    const std::string &shown = password ? echo : text;
    if (int printError = PrintText(vm, shown.data(), shown.size(), true)) return printError;
    // The line ends: the cursor goes to the next line's left margin.
    const FontHandle *font = GetCurrentFont() ? GetCurrentFont() : BuiltinTopazFont;
    display->cursorX = display->leftMargin;
    display->cursorY = startY + (font ? font->height : 8);
    PushStringLen(vm, text.data(), text.size());
    return 1;
}
