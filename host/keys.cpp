#include "host/keys.h"

int IsGraphicChar(int32_t c) {
    // ISO-8859-1: printable are 0x21..0x7E and 0xA1..0xFF; 0x20 and 0xA0 are blanks, the rest controls.
    return (c >= 0x21 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFF) ? 1 : 0;
}
