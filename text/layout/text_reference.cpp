// Reference rows of the text library: what tools/reference writes into docs/commands/text.md.
#include "imaging/display_options.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

// What Print, NPrint, TextOut and CreateTextObject say of the tags they read.
#define TEXT_TAGS \
    "Text tags: the text may change its style midway with tags in square brackets: [b], [i], [u] and " \
    "[/b], [/i], [/u] switch bold, italic and underline; [color=$RRGGBB] up to [/color] changes the " \
    "colour (the closing tag returns to the colour before); [shadow] or [shadow=colour,size,direction] " \
    "up to [/shadow] and [edge] or [edge=colour,size] up to [/edge] switch the shadow (size 1 to 64) " \
    "and the outline (size 1 to 8), values left out keeping theirs. Tag names ignore case; values are " \
    "numbers, $hex or #constants. [[ shows [ and ]] shows ]. Any other tag (such as [bold]), a single " \
    "], a [/color] without its opening tag or a bad value is an error (1251, 1252, 1253, 1024, 1018, " \
    "1055 or 1108): nothing is drawn, and the program ends unless ExitOnError(False) is in force. Text " \
    "typed by a user or read from a file must have its brackets doubled before it is shown: " \
    "ReplaceStr(ReplaceStr(text, \"[\", \"[[\"), \"]\", \"]]\")."

const CommandDoc kCommandDocs[] = {
    {.name = "SetFont", .synopsis = "SetFont(font, size[, options])", .arguments = {2, 3},
     .text = "Opens a font by name at a size and makes it the current font; the style returns to #NORMAL. "
             "Which names find which fonts depends on the engine, the options' Engine:\n"
             "\n"
             "- #FONTENGINE_NATIVE (the default): a font linked with @LINKFONT, by the name it was linked under "
             "or its file-name part (a bitmap .font with or without \".font\", a .ttf or .otf only with its "
             "extension: \"Vera.ttf\", not \"Vera\"); name.font in the current directory, in Fonts/ and in "
             "FONTS: (\"Fam Regular\" also finds Fam.font), a bitmap font in the sizes it was made in; and "
             "\"topaz\", the built-in bitmap font, at size 8. It finds no installed TrueType font, and refuses a "
             "file path with 1335.\n"
             "- #FONTENGINE_INBUILT: the built-in faces \"Bitstream Vera Sans\", \"Bitstream Vera Serif\" and "
             "\"Bitstream Vera Sans Mono\", a linked .ttf or .otf font, a .ttf or .otf file by its path, and the "
             "installed TrueType and OpenType faces by the full name GetAvailableFonts lists (\"DejaVu Sans "
             "Bold\", or the family alone for the regular face, \"DejaVu Sans\"). What it does not find, the "
             "native engine looks for after it.\n"
             "\n"
             "#SANS, #SERIF, #MONOSPACE and the other default fonts open whatever Engine says. When no font is "
             "found, the message of 1064 says which names were looked for where.",
     .options = "Engine, Cache",
     .errors = {kErrFontOpen, kErrCannotReadFile},
     .example = "SetFont(#SANS, 24)\n"
                "Print(\"Hello\")"},
    {.name = "SetFontColor", .synopsis = "SetFontColor(color)", .arguments = {1, 1},
     .text = "Sets the colour text is drawn in."},
    {.name = "TextHeight", .synopsis = "height = TextHeight(text)", .arguments = {1, 1},
     .text = "Returns the line height of the current font."},
    {.name = "TextWidth", .synopsis = "width = TextWidth(text[, encoding])", .arguments = {1, 2},
     .text = "Returns how wide the text would be drawn in the current font and style.",
     .errors = {kErrWrongUsage}},
    {.name = "ResetTabs", .synopsis = "ResetTabs()", .arguments = {0, 0},
     .text = "Removes all tab stops."},
    {.name = "AddTab", .synopsis = "AddTab(position, ...)", .arguments = {1, kNoMaximum},
     .text = "Adds one or more tab stops, in pixels from the left margin; a tab character in printed text "
             "moves to the next one. A display keeps at most 32 tab stops: one more fails with 1066 (ResetTabs "
             "removes them all).",
     .errors = {kErrNegativeCoordinate, kErrDisplayClosed, kErrInternalLimit}},
    {.name = "Locate", .synopsis = "Locate(x, y)", .arguments = {2, 2},
     .text = "Moves the text cursor, where Print writes next. Only the first line printed starts at x: the lines "
             "after it, wrapped or after a line feed, start at the left margin (SetMargins; 0 by default), so to "
             "print a block of lines further right set the margins instead.",
     .errors = {kErrCoordinateConstant, kErrDisplayClosed}},
    {.name = "SetMargins", .synopsis = "SetMargins(left, right)", .arguments = {2, 2},
     .text = "Sets the left and right margins that Print wraps lines between, and moves the cursor to the "
             "left margin.",
     .errors = {kErrWrongUsage, kErrDisplayClosed}},
    {.name = "SetFontStyle",
     .synopsis = "SetFontStyle(style) or SetFontStyle(#SHADOW[, color, size, direction]) or "
                 "SetFontStyle(#EDGE[, color, size])",
     .arguments = {1, 4},
     .text = "Adds a style to the current text style: #BOLD, #ITALIC, #UNDERLINED, #ANTIALIAS, #SHADOW or #EDGE, "
             "or a sum of them. Styles set before stay set; #NORMAL, alone or in a sum, clears them all.\n"
             "\n"
             "Only a style of exactly #SHADOW or exactly #EDGE takes further arguments: #SHADOW the shadow's "
             "colour, size in pixels and direction (#SHDWNORTH to #SHDWNORTHWEST), #EDGE the edge's colour and "
             "size (a fourth argument makes #EDGE set neither). An argument left out keeps its last value (at "
             "the start: a black shadow of 4 pixels to the south-east, a blue edge of 2 pixels); a size is "
             "limited to 1 to 64. Any other style given more "
             "than one argument fails with 1193, so a sum such as #BOLD + #SHADOW cannot set the shadow: set "
             "#BOLD first, then #SHADOW with its arguments.",
     .example = "SetFont(#SANS, 32)\n"
                "SetFontStyle(#BOLD)\n"
                "SetFontStyle(#SHADOW, $808080, 3, #SHDWSOUTHEAST)   ; bold, now with a grey shadow\n"
                "TextOut(10, 10, \"Bold and shadowed\")\n"
                "SetFontStyle(#NORMAL)\n"
                "SetFontStyle(#EDGE, $FF0000, 2)\n"
                "TextOut(10, 60, \"Edged in red\")"},
    {.name = "Print", .synopsis = "Print(value, ...)", .arguments = {1, kNoMaximum},
     .text = "Writes its arguments at the text cursor, separated by blanks, and moves the cursor on, wrapping "
             "lines at the margins. Only the first line starts at the cursor's x: every further line, after a "
             "wrap or a line feed, starts at the left margin (SetMargins).\n"
             "\n" TEXT_TAGS,
     .errors = {kErrNoAntiAlias}},
    {.name = "NPrint", .synopsis = "NPrint(value, ...)", .arguments = {1, kNoMaximum},
     .text = "Writes its arguments as Print does and ends the line: the cursor goes to the left margin of the "
             "next line.\n"
             "\n" TEXT_TAGS},
    {.name = "TextOut", .synopsis = "TextOut(x, y, text[, options | align, wordwrap])", .arguments = {3, 5},
     .text = "Draws text at (x, y) without using the text cursor. (x, y) is the top left corner of the "
             "text's block, or a position constant such as #CENTER, #RIGHT or #BOTTOM that places the block on "
             "the display. align (#LEFT, #CENTER or #RIGHT) aligns the lines of the block to each other: the "
             "block is as wide as its widest line and its left edge stays at x, so a single line is drawn at x "
             "whatever align says. To end a line at x, draw it at x - TextWidth(text); #RIGHT as x puts the "
             "block against the display's right edge. wordwrap is the width at which lines wrap (0 for "
             "none).\n"
             "\n"
             "With layers a position constant is worked out once, from the text drawn: the layer keeps that x "
             "when SetLayerStyle gives it a new text, so a score drawn at #RIGHT runs off the edge as it grows "
             "(at #CENTER, off centre). Give the constant again with the text, in one call: "
             "SetLayerStyle(layer, {Text = score, X = #RIGHT}).\n"
             "\n" TEXT_TAGS,
     .options = "Align, WordWrap, Encoding, WordWrapTable, " VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrWrongUsage, kErrNumberFieldExpected, kErrLayerNameTaken},
     .example = "TextOut(#CENTER, 100, \"Game over\")"},
    {.name = "CreateTextObject",
     .synopsis = "[handle =] CreateTextObject(id, text[, align, wordwrap, encoding])", .arguments = {2, 5},
     .text = "Renders text in the current font, style and colour into a text object, which can then be drawn, "
             "moved and scaled like a brush.\n"
             "\n" TEXT_TAGS,
     .errors = {kErrWrongUsage, kErrOutOfMemory, kErrGeneralSyntax, kErrValueExpected, kErrBracketExpected,
                kErrTagUnknown, kErrTagSyntax, kErrTagArguments},
     .example = "CreateTextObject(1, \"Score: 0\")\n"
                "DisplayTextObject(1, 10, 10)"},
    {.name = "DisplayTextObject", .synopsis = "DisplayTextObject(id, x, y[, options])", .arguments = {3, 4},
     .text = "Draws a text object at (x, y); the options are those of DisplayBrush.",
     .options = VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrTextObjectNotFound, kErrObjectNotFound}},
    {.name = "FreeTextObject", .synopsis = "FreeTextObject(id)", .arguments = {1, 1},
     .text = "Frees a text object.",
     .errors = {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {.name = "InKeyStr", .synopsis = "text = InKeyStr(type[, maxlength, password])", .arguments = {1, 3},
     .text = "Reads a line typed by the user at the text cursor, showing it as it is typed, and returns it when "
             "Return is pressed. type limits the characters (#ALL, #ALPHANUMERICAL, #ALPHABETICAL, #NUMERICAL, "
             "#HEXNUMERICAL); password shows stars. What is typed is shown as it is: tags are not read there, "
             "while [[ and ]] still show one bracket. The line comes in the default encoding: ISO-8859-1 bytes, "
             "one per character, where characters beyond ISO-8859-1 cannot be typed; or, after "
             "SetDefaultEncoding(#ENCODING_UTF8), UTF-8 with every printable character, the euro sign too.",
     .errors = {kErrDisplayClosed, kErrSelectBGPicActive, kErrSelectBrushActive, kErrSelectAnimActive,
                kErrEndDoubleBufferFirst, kErrSelectMaskActive, kErrSelectAlphaChannelActive},
     .example = "Print(\"Name: \")\n"
                "Local name = InKeyStr(#ALL, 20)\n"
                "NPrint(\"\")\n"
                "Print(\"Hello,\", name)"},
    {.name = "TextExtent", .synopsis = "extent = TextExtent(text[, encoding])", .arguments = {1, 2},
     .text = "Measures text in the current font and style and returns a table with MinX, MaxX, MinY, MaxY, "
             "Width and Height.",
     .errors = {kErrWrongUsage}},
    {.name = "ScaleTextObject", .synopsis = "ScaleTextObject(id, width, height)", .arguments = {3, 3},
     .text = "Renders a text object again at another size.",
     .errors = {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked, kErrOutOfMemory,
                kErrInvalidPercent, kErrSizeNotPositive}},
    {.name = "CopyTextObject", .synopsis = "[handle =] CopyTextObject(source, id)", .arguments = {2, 2},
     .text = "Makes an independent copy of a text object.",
     .errors = {kErrTextObjectNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "RotateTextObject", .synopsis = "RotateTextObject(id, angle)", .arguments = {2, 2},
     .text = "Renders a text object again rotated by angle degrees.",
     .errors = {kErrTextObjectNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {.name = "OpenFont", .synopsis = "[handle =] OpenFont(id, font, size[, options])", .arguments = {3, 4},
     .text = "Opens a font under an id without making it current; UseFont switches to it quickly later. The "
             "names and the Engine option are those of SetFont.",
     .options = "Engine, Cache",
     .errors = {kErrFontOpen, kErrCannotReadFile, kErrFontIsFile}},
    {.name = "CloseFont", .synopsis = "CloseFont(id)", .arguments = {1, 1},
     .text = "Closes a font opened with OpenFont.",
     .errors = {kErrFontNotFound, kErrObjectNotFound}},
    {.name = "UseFont", .synopsis = "UseFont(id)", .arguments = {1, 1},
     .text = "Makes a font opened with OpenFont the current font; the style returns to #NORMAL.",
     .errors = {kErrFontNotFound, kErrObjectNotFound}},
    {.name = "GetAvailableFonts", .synopsis = "fonts = GetAvailableFonts()", .arguments = {0, 0},
     .text = "Returns a list of the fonts the player can find, each a table with the font's name and "
             "details."},
    {.name = "FreeGlyphCache", .synopsis = "FreeGlyphCache(all[, id])", .arguments = {1, 2},
     .text = "Frees the rendered characters kept for fonts: for every font when the first argument is 0, "
             "else for the font id.",
     .errors = {kErrFontNotFound, kErrObjectNotFound}},
    {.name = "SetDefaultEncoding", .synopsis = "SetDefaultEncoding(encoding)", .arguments = {1, 1},
     .text = "Sets how text commands read strings: #ENCODING_ISO8859_1 (the default) or #ENCODING_UTF8. "
             "Typed text follows it: with #ENCODING_UTF8, InKeyStr and the key of OnKeyDown and OnKeyUp give "
             "UTF-8, and characters outside ISO-8859-1 (the euro sign) can be typed too.",
     .errors = {kErrWrongUsage}},
    {},
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
    {"FONTENGINE_NATIVE", "Font engine (the default): linked fonts, .font fonts and topaz by name (SetFont)."},
    {"FONTENGINE_INBUILT", "Font engine: FreeType, for the built-in and installed TrueType and OpenType faces "
                           "by name and .ttf or .otf files (SetFont)."},
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
