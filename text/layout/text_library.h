// The "text" command library: registration, the library's state and the routines other libraries call.
#pragma once

#include <cstdint>

#include "runtime/app/command.h"
#include "runtime/app/object_list.h"
#include "text/fonts/font_handle.h"
#include "text/layout/text_records.h"

extern const LibraryDescriptor kTextLibrary;
extern const CommandEntry kTextCommands[];
extern const ConstantEntry kTextConstants[];

// A font the script opened with OpenFont under an id; the font itself belongs to the font cache.
struct OpenFontNode {
    ObjectId id;
    FontHandle *font = nullptr;
};

TextStyle &GetTextStyle();
FontHandle *GetCurrentFont();
int GetDefaultEncoding();

// 0 and the node, kErrFontNotFound (numeric id, the number as the error argument) or kErrObjectNotFound.
int FindFontById(ObjectId id, OpenFontNode **out);
int32_t CountOpenFonts();
// Gives colour fonts read before the first display their bitmap and mask: 0 or the first error.
int MakePendingFontBitmaps();
// Shutdown: the open-font list, the cached fonts and the font system.
void FreeAllTextAndFonts(VMState *vm);

// The library's own state, shared by its binding files.
ObjectList<OpenFontNode> &OpenFontList();
void SetCurrentFont(FontHandle *font);
void SetDefaultEncoding(int encoding);

// font_commands.cpp
int CmdSetFont(VMState *vm);
int CmdSetFontColor(VMState *vm);
int CmdSetFontStyle(VMState *vm);
int CmdTextHeight(VMState *vm);
int CmdTextWidth(VMState *vm);
int CmdTextExtent(VMState *vm);
int CmdOpenFont(VMState *vm);
int CmdCloseFont(VMState *vm);
int CmdUseFont(VMState *vm);
int CmdFreeGlyphCache(VMState *vm);
int CmdSetDefaultEncoding(VMState *vm);
int FontAttribute(VMState *vm, ObjectId id, int32_t attribute, int firstExtraArg);

// text_commands.cpp and line_input.cpp
int CmdPrint(VMState *vm);
int CmdNPrint(VMState *vm);
int CmdTextOut(VMState *vm);
int CmdCreateTextObject(VMState *vm);
int CmdDisplayTextObject(VMState *vm);
int CmdFreeTextObject(VMState *vm);
int CmdCopyTextObject(VMState *vm);
int CmdScaleTextObject(VMState *vm);
int CmdRotateTextObject(VMState *vm);
int CmdLocate(VMState *vm);
int CmdSetMargins(VMState *vm);
int CmdAddTab(VMState *vm);
int CmdResetTabs(VMState *vm);
int CmdInKeyStr(VMState *vm);
