// The program's catalog texts (built-in English) and character classes.
#pragma once

// Message ids of the program catalog.
constexpr int kMsgDone = 95;
constexpr int kMsgLoadingAnimation = 98;
constexpr int kMsgPreparingDisplay = 99;
constexpr int kMsgLoadingBGPic = 100;
constexpr int kMsgLoadingBrush = 101;
constexpr int kMsgCannotOpenFontSize = 116;
constexpr int kMsgLoadingSprite = 262;
constexpr int kMsgSelectDisplayMode = 288;
constexpr int kMsgDisplayModeChoices = 289;
constexpr int kMsgAndAction = 372;
constexpr int kMsgOpeningFont = 410;
// Texts whose catalog numbers are not known keep ids of our own, above the catalog's range.
constexpr int kMsgLoadingSample = 9001;
constexpr int kMsgLoadingMusic = 9002;
constexpr int kMsgOpeningFile = 9003;

// The text of a message; "" for an unknown id (never null).
const char *GetCatalogMessage(int id);

// Non-zero when the character (a byte of the system's Latin-1 character set) is printable and not a blank.
int IsGraphicChar(int c);
