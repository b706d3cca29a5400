// Reference rows of the text library: what tools/reference writes into docs/commands/text.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"SetFont", "SetFont(font, size[, options])",
     "Opens a font by name (a linked font, an installed font, or #SANS, #SERIF, #MONOSPACE and the "
     "other default fonts) at a size and makes it the current font; the style returns to #NORMAL.",
     "Engine, Cache", {kErrFontOpen, kErrCannotReadFile},
     "SetFont(#SANS, 24)\n"
     "Print(\"Hello\")"},
    {"SetFontColor", "SetFontColor(color)",
     "Sets the colour text is drawn in."},
    {"TextHeight", "height = TextHeight(text)",
     "Returns the line height of the current font."},
    {"TextWidth", "width = TextWidth(text[, encoding])",
     "Returns how wide the text would be drawn in the current font and style.",
     nullptr, {kErrWrongUsage}},
    {"ResetTabs", "ResetTabs()",
     "Removes all tab stops."},
    {"AddTab", "AddTab(position, ...)",
     "Adds one or more tab stops, in pixels from the left margin; a tab character in printed text moves "
     "to the next one.",
     nullptr, {kErrNegativeCoordinate, kErrDisplayClosed, kErrInternalLimit}},
    {"Locate", "Locate(x, y)",
     "Moves the text cursor, where Print writes next.",
     nullptr, {kErrCoordinateConstant, kErrDisplayClosed}},
    {"SetMargins", "SetMargins(left, right)",
     "Sets the left and right margins that Print wraps lines between, and moves the cursor to the left "
     "margin.",
     nullptr, {kErrWrongUsage, kErrDisplayClosed}},
    {"SetFontStyle", "SetFontStyle(style[, ...])",
     "Sets the text style: #NORMAL, or a sum of #BOLD, #ITALIC, #UNDERLINED, #ANTIALIAS, #SHADOW and "
     "#EDGE. #SHADOW takes its colour, size and direction as further arguments, #EDGE its colour and "
     "size.",
     nullptr, {},
     "SetFontStyle(#BOLD + #SHADOW, $000000, 2, #SHDWSOUTHEAST)"},
    {"Print", "Print(value, ...)",
     "Writes its arguments at the text cursor, separated by blanks, and moves the cursor on, wrapping "
     "lines at the margins."},
    {"NPrint", "NPrint(value, ...)",
     "Writes its arguments as Print does and ends the line."},
    {"TextOut", "TextOut(x, y, text[, options | align, wordwrap])",
     "Draws text at (x, y) without using the text cursor. align is #LEFT, #CENTER or #RIGHT; wordwrap "
     "is the width at which lines wrap (0 for none). Text may hold formatting tags such as "
     "[color=$FF0000].",
     "Align, WordWrap, Encoding", {kErrWrongUsage},
     "TextOut(#CENTER, 100, \"Game over\")"},
    {"CreateTextObject", "[handle =] CreateTextObject(id, text[, align, wordwrap, encoding])",
     "Renders text in the current font, style and colour into a text object, which can then be drawn, "
     "moved and scaled like a brush.",
     nullptr, {kErrWrongUsage, kErrOutOfMemory},
     "CreateTextObject(1, \"Score: 0\")\n"
     "DisplayTextObject(1, 10, 10)"},
    {"DisplayTextObject", "DisplayTextObject(id, x, y[, options])",
     "Draws a text object at (x, y); the options are those of DisplayBrush.",
     nullptr, {kErrTextObjectNotFound, kErrObjectNotFound}},
    {"FreeTextObject", "FreeTextObject(id)",
     "Frees a text object.",
     nullptr, {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {"InKeyStr", "text = InKeyStr(type[, maxlength, password])",
     "Reads a line typed by the user at the text cursor, showing it as it is typed, and returns it when "
     "Return is pressed. type limits the characters (#ALL, #ALPHANUMERICAL, #ALPHABETICAL, #NUMERICAL, "
     "#HEXNUMERICAL); password shows stars.",
     nullptr,
     {kErrDisplayClosed, kErrSelectBGPicActive, kErrSelectBrushActive, kErrSelectAnimActive,
      kErrEndDoubleBufferFirst, kErrSelectMaskActive, kErrSelectAlphaChannelActive},
     "Print(\"Name: \")\n"
     "Local name = InKeyStr(#ALL, 20)"},
    {"TextExtent", "extent = TextExtent(text[, encoding])",
     "Measures text in the current font and style and returns a table with MinX, MaxX, MinY, MaxY, "
     "Width and Height.",
     nullptr, {kErrWrongUsage}},
    {"ScaleTextObject", "ScaleTextObject(id, width, height)",
     "Renders a text object again at another size.",
     nullptr, {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {"CopyTextObject", "[handle =] CopyTextObject(source, id)",
     "Makes an independent copy of a text object.",
     nullptr, {kErrTextObjectNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"RotateTextObject", "RotateTextObject(id, angle)",
     "Renders a text object again rotated by angle degrees.",
     nullptr, {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {"OpenFont", "[handle =] OpenFont(id, font, size[, options])",
     "Opens a font under an id without making it current; UseFont switches to it quickly later.",
     "Engine, Cache", {kErrFontOpen, kErrCannotReadFile}},
    {"CloseFont", "CloseFont(id)",
     "Closes a font opened with OpenFont.",
     nullptr, {kErrFontNotFound, kErrObjectNotFound}},
    {"UseFont", "UseFont(id)",
     "Makes a font opened with OpenFont the current font; the style returns to #NORMAL.",
     nullptr, {kErrFontNotFound, kErrObjectNotFound}},
    {"GetAvailableFonts", "fonts = GetAvailableFonts()",
     "Returns a list of the fonts the player can find, each a table with the font's name and details."},
    {"FreeGlyphCache", "FreeGlyphCache(all[, id])",
     "Frees the rendered characters kept for fonts: for every font when the first argument is 0, else "
     "for the font id.",
     nullptr, {kErrFontNotFound, kErrObjectNotFound}},
    {"SetDefaultEncoding", "SetDefaultEncoding(encoding)",
     "Sets how text commands read strings: #ENCODING_ISO8859_1 (the default) or #ENCODING_UTF8.",
     nullptr, {kErrWrongUsage}},
    {nullptr, nullptr, nullptr},
};

const ConstantDoc kConstantDocs[] = {
    {"NORMAL", "Text style: plain."},
    {"BOLD", "Text style: bold."},
    {"ITALIC", "Text style: italic."},
    {"UNDERLINED", "Text style: underlined."},
    {"ANTIALIAS", "Text style: smoothed edges."},
    {"SHADOW", "Text style: with a shadow."},
    {"EDGE", "Text style: with an outline."},
    {"ALL", "InKeyStr: any character."},
    {"ALPHANUMERICAL", "InKeyStr: letters and digits."},
    {"ALPHABETICAL", "InKeyStr: letters."},
    {"NUMERICAL", "InKeyStr: digits."},
    {"HEXNUMERICAL", "InKeyStr: hexadecimal digits."},
    {"ENCODING_ISO8859_1", "Text encoding: ISO-8859-1 (one byte per character)."},
    {"ENCODING_UTF8", "Text encoding: UTF-8."},
    {"SHDWNORTH", "Shadow direction: up."},
    {"SHDWNORTHEAST", "Shadow direction: up and right."},
    {"SHDWEAST", "Shadow direction: right."},
    {"SHDWSOUTHEAST", "Shadow direction: down and right."},
    {"SHDWSOUTH", "Shadow direction: down."},
    {"SHDWSOUTHWEST", "Shadow direction: down and left."},
    {"SHDWWEST", "Shadow direction: left."},
    {"SHDWNORTHWEST", "Shadow direction: up and left."},
    {"FONTENGINE_NATIVE", "Font engine: the system's."},
    {"FONTENGINE_INBUILT", "Font engine: the player's own."},
    {"FONTSLANT_ROMAN", "Font slant: upright."},
    {"FONTSLANT_ITALIC", "Font slant: italic."},
    {"FONTSLANT_OBLIQUE", "Font slant: oblique."},
    {"BITMAP_DEFAULT", "Font name: the default bitmap font."},
    {"TRUETYPE_DEFAULT", "Font name: the default scalable font."},
    {"SANS", "Font name: the default sans-serif font."},
    {"SERIF", "Font name: the default serif font."},
    {"MONOSPACE", "Font name: the default fixed-width font."},
    {"FONTWEIGHT_THIN", "Font weight: thin."},
    {"FONTWEIGHT_EXTRALIGHT", "Font weight: extra light."},
    {"FONTWEIGHT_ULTRALIGHT", "Font weight: ultra light."},
    {"FONTWEIGHT_LIGHT", "Font weight: light."},
    {"FONTWEIGHT_BOOK", "Font weight: book."},
    {"FONTWEIGHT_NORMAL", "Font weight: normal."},
    {"FONTWEIGHT_REGULAR", "Font weight: regular."},
    {"FONTWEIGHT_MEDIUM", "Font weight: medium."},
    {"FONTWEIGHT_SEMIBOLD", "Font weight: semi-bold."},
    {"FONTWEIGHT_DEMIBOLD", "Font weight: demi-bold."},
    {"FONTWEIGHT_BOLD", "Font weight: bold."},
    {"FONTWEIGHT_EXTRABOLD", "Font weight: extra bold."},
    {"FONTWEIGHT_ULTRABOLD", "Font weight: ultra bold."},
    {"FONTWEIGHT_HEAVY", "Font weight: heavy."},
    {"FONTWEIGHT_BLACK", "Font weight: black."},
    {"FONTWEIGHT_EXTRABLACK", "Font weight: extra black."},
    {"FONTWEIGHT_ULTRABLACK", "Font weight: ultra black."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kTextReference;
const LibraryReference kTextReference = {
    "Text and fonts: choosing fonts and styles, printing at a cursor, drawing text anywhere, text "
    "objects, measuring and reading typed input.",
    kCommandDocs, kConstantDocs};
