#include "host/catalog.h"

namespace {

struct CatalogText {
    int id;
    const char *text;
};

const CatalogText kBuiltinTexts[] = {
    {kMsgDone, "done"},
    {kMsgLoadingAnimation, "Loading animation %s"},
    {kMsgPreparingDisplay, "Preparing display"},
    {kMsgLoadingBGPic, "Loading background picture %s"},
    {kMsgLoadingBrush, "Loading brush %s"},
    {kMsgCannotOpenFontSize, "Cannot open font %s with size %ld!"},
    {kMsgLoadingSprite, "Loading sprite %s"},
    {kMsgSelectDisplayMode, "Please select desired display mode!"},
    {kMsgDisplayModeChoices, "Full screen (best fit)|Windowed|Full screen (manual select)"},
    {kMsgAndAction, "And Action!"},
    {kMsgOpeningFont, "Opening font %s"},
    {kMsgLoadingSample, "Loading sample %s"},
    {kMsgLoadingMusic, "Loading music %s"},
    {kMsgOpeningFile, "Opening file %s"},
};

} // namespace

const char *GetCatalogMessage(int id) {
    for (const CatalogText &entry : kBuiltinTexts)
        if (entry.id == id) return entry.text;
    return "";
}

int IsGraphicChar(int c) {
    c &= 0xFF;
    return (c > 0x20 && c < 0x7F) || c > 0xA0 ? 1 : 0;
}
