#include "host/keys.h"

#include <SDL.h>

int32_t MapKeySymbol(int32_t symbol, uint32_t qualifiers) {
    switch (symbol) {
    case SDLK_UP: return KeyUp;
    case SDLK_DOWN: return KeyDown;
    case SDLK_RIGHT: return KeyRight;
    case SDLK_LEFT: return KeyLeft;
    case SDLK_HELP: return KeyHelp;
    case SDLK_BACKSPACE: return KeyBackspace;
    case SDLK_TAB: return KeyTab;
    case SDLK_KP_ENTER: return KeyEnter;
    case SDLK_RETURN: return KeyReturn;
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_SPACE: return KeySpace;
    case SDLK_DELETE: return KeyDelete;
    case SDLK_F11: return KeyF11;
    case SDLK_F12: return KeyF12;
    case SDLK_INSERT: return KeyInsert;
    case SDLK_HOME: return KeyHome;
    case SDLK_END: return KeyEnd;
    case SDLK_PAGEUP: return KeyPageUp;
    case SDLK_PAGEDOWN: return KeyPageDown;
    case SDLK_PRINTSCREEN: return KeyPrint;
    case SDLK_PAUSE: return KeyPause;
    case SDLK_KP_DIVIDE: return '/';
    case SDLK_KP_MULTIPLY: return '*';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_PLUS: return '+';
    case SDLK_KP_PERIOD: return '.';
    case SDLK_KP_0: return '0';
    default: break;
    }
    if (symbol >= SDLK_F1 && symbol <= SDLK_F10) return KeyF1 + (symbol - SDLK_F1);
    if (symbol >= SDLK_F13 && symbol <= SDLK_F16) return KeyF13 + (symbol - SDLK_F13);
    if (symbol >= SDLK_KP_1 && symbol <= SDLK_KP_9) return '1' + (symbol - SDLK_KP_1);
    if (symbol < 0x20 || symbol > 0xFF || symbol == 0x7F || (symbol >= 0x80 && symbol < 0xA0)) return 0;
    bool shift = qualifiers & (kQualifierLeftShift | kQualifierRightShift);
    if (!shift) return symbol;
    if (symbol >= 'a' && symbol <= 'z') return symbol - 32;
    if (symbol >= 0xE0 && symbol <= 0xFE && symbol != 0xF7) return symbol - 32;
    return symbol;
}
