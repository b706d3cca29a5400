// Reference rows of the display library: what tools/reference writes into docs/commands/display.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "ChangeDisplaySize", .synopsis = "ChangeDisplaySize(width, height[, options])",
     .arguments = {2, 3},
     .text = "Resizes the current display. Width and height may be \"50%\"-style strings relative to the "
             "picture, or #KEEPASPRAT for one of them to keep the proportions. The display is centred again "
             "unless x and y say otherwise (#KEEPPOSITION keeps its place).",
     .options = "x, y, smooth",
     .errors = {kErrSizeNotPositive, kErrWrongUsage, kErrChangeDisplaySize},
     .example = "ChangeDisplaySize(320, 240, {x = #KEEPPOSITION, y = #KEEPPOSITION})"},
    {.name = "SetTitle", .synopsis = "SetTitle(title)", .arguments = {1, 1},
     .text = "Changes the current display's window title (at most 255 characters).",
     .errors = {kErrWrongUsage}},
    {.name = "MoveDisplay", .synopsis = "MoveDisplay(x, y)", .arguments = {2, 2},
     .text = "Moves the current display's window on the screen; #CENTER centres it.",
     .errors = {kErrWrongUsage}},
    {.name = "HideDisplay", .synopsis = "HideDisplay()", .arguments = {0, 0},
     .text = "Minimises the current display to an icon. The \"HideWindow\" event handler is then called.",
     .errors = {kErrWrongUsage}},
    {.name = "ShowDisplay", .synopsis = "ShowDisplay()", .arguments = {0, 0},
     .text = "Brings back a minimised current display. The \"ShowWindow\" event handler is then called.",
     .errors = {kErrWrongUsage}},
    {.name = "SetDisplayAttributes", .synopsis = "SetDisplayAttributes(options)", .arguments = {1, 1},
     .text = "Changes settings of the current display, such as its size, title or scaling, with the keys "
             "CreateDisplay takes.",
     .options = "Active, BGPic, Borderless, Color, DragRegion, FillStyle, FitScale, Fixed, Height, "
                "HidePointer, KeepProportions, NoClose, NoHide, NoModeSwitch, ScaleHeight, ScaleMode, "
                "ScaleWidth, Sizeable, SizeRegion, SmoothScale, Title, UseQuartz, Width, X, Y",
     .errors = {kErrWrongUsage}},
    {.name = "CreateDisplay", .synopsis = "[handle =] CreateDisplay(id[, options])", .arguments = {1, 2},
     .text = "Creates a new display, closed until OpenDisplay shows it. Without options it is 640 x 480, "
             "centred, titled \"Vistaloom\" and black. The options:\n"
             "\n"
             "- Width, Height (at least 1), X, Y (position constants allowed), Title (under 256 bytes).\n"
             "- Its picture: BGPic shows a background picture no other display shows, at that picture's size; "
             "otherwise the display gets a picture of its own, filled as FillStyle says: #FILLCOLOR (the "
             "default) with Color, #FILLGRADIENT from GradientStartColor to GradientEndColor at GradientAngle "
             "degrees, or #FILLTEXTURE with the brush TextureBrush tiled from TextureX, TextureY. Any other "
             "FillStyle (#FILLNONE too) is 1055.\n"
             "- Layers = True turns layers on; Hidden = True leaves the display closed when the program starts.\n"
             "- Window switches, each set by True and cleared by False: Borderless, Sizeable, Fixed, NoHide, "
             "NoClose, NoModeSwitch, Active, HidePointer, UseQuartz. UseQuartz is accepted and changes "
             "nothing in what is shown.\n"
             "- Private1, Private2 and Private3 are numbers for the player's own use: Private1 marks the "
             "backfill display the player makes behind a full-screen display; Private2 and Private3 are kept and "
             "do nothing. A script leaves them out.\n"
             "- Scaling: ScaleMode (#SCALEMODE_NONE, #SCALEMODE_AUTO or #SCALEMODE_LAYER), ScaleWidth and "
             "ScaleHeight (the size shown; a negative value is a percentage of the display's size; 0 is 1055), "
             "SmoothScale, KeepProportions, FitScale.\n"
             "- DragRegion, SizeRegion: lists (from index 0) of rectangles {X, Y, Width, Height} where the "
             "window can be dragged or sized.",
     .options = "Width, Height, X, Y, Title, BGPic, FillStyle, Color, GradientStartColor, GradientEndColor, "
                "GradientAngle, TextureBrush, TextureX, TextureY, Layers, Hidden, Borderless, Sizeable, "
                "Fixed, NoHide, NoClose, NoModeSwitch, Active, HidePointer, UseQuartz, ScaleMode, "
                "ScaleWidth, ScaleHeight, SmoothScale, KeepProportions, FitScale, DragRegion, SizeRegion, "
                "Private1, Private2, Private3",
     .errors = {kErrFreeActiveDisplay, kErrDisplayHasAsyncDraw, kErrSharedBGPic, kErrBGPicWithDesktop,
                kErrWrongUsage, kErrBrushNotFound},
     .example = "CreateDisplay(2, {Width = 320, Height = 200, Title = \"Second\", Layers = True})\n"
                "OpenDisplay(2)"},
    {.name = "FreeDisplay", .synopsis = "FreeDisplay(id)", .arguments = {1, 1},
     .text = "Frees a display that is not the current one.",
     .errors = {kErrDisplayNotFound, kErrObjectNotFound, kErrFreeActiveDisplay, kErrDisplayHasAsyncDraw}},
    {.name = "OpenDisplay", .synopsis = "OpenDisplay(id[, noselect])", .arguments = {1, 2},
     .text = "Opens a display's window and makes it current, unless noselect is True.",
     .errors = {kErrDisplayNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "CloseDisplay", .synopsis = "CloseDisplay(id)", .arguments = {1, 1},
     .text = "Closes a display's window; the display and its picture stay and can be opened again.",
     .errors = {kErrDisplayNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "SelectDisplay", .synopsis = "SelectDisplay(id[, noactivate])", .arguments = {1, 2},
     .text = "Makes a display the current one, which drawing commands then use; an open display's window is "
             "also brought to the front unless noactivate is True. A closed display can be selected to draw "
             "into it unseen.",
     .errors = {kErrDisplayNotFound, kErrObjectNotFound}},
    {.name = "ActivateDisplay", .synopsis = "ActivateDisplay(id)", .arguments = {1, 1},
     .text = "Brings an open display's window to the front and gives it the keyboard focus.",
     .errors = {kErrDisplayNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "ChangeDisplayMode", .synopsis = "ChangeDisplayMode(mode[, width, height])", .arguments = {1, 3},
     .text = "Switches between a window (#DISPMODE_WINDOWED) and full screen (#DISPMODE_FULLSCREEN, which "
             "needs the screen's width and height). Every open display is closed and opened again in the "
             "new mode: in full screen borderless and centred on the backfill. Alt+Return makes the same "
             "switch while there is one display.",
     .options = "Active, BGPic, Borderless, DragRegion, FitScale, Fixed, Hidden, HidePointer, "
                "KeepProportions, layers, NoClose, NoHide, NoModeSwitch, Private1, Private2, Private3, "
                "ScaleHeight, ScaleMode, ScaleWidth, Sizeable, SizeRegion, SmoothScale, Title, UseQuartz, "
                "X, Y",
     .errors = {kErrWrongUsage}},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"DISPSTATE_OPEN", "A display's state: open."},
    {"DISPSTATE_CLOSED", "A display's state: closed."},
    {"DISPSTATE_MINIMIZED", "A display's state: minimised to an icon."},
    {"DISPMODE_FULLSCREEN", "ChangeDisplayMode: full screen."},
    {"DISPMODE_WINDOWED", "ChangeDisplayMode: a window."},
    {"SCALEMODE_NONE", "Displays: no scaling."},
    {"SCALEMODE_AUTO", "Displays: the picture is scaled to the window's size."},
    {"SCALEMODE_LAYER", "Displays: each layer is scaled on its own, for sharp text and vectors."},
    {"KEEPPOSITION", "ChangeDisplaySize: keep the display's x or y as it is."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kDisplayReference;
const LibraryReference kDisplayReference = {
    "Displays: the windows (or full screens) a program draws into, their size, position, title and "
    "mode.",
    kCommandDocs, kConstantDocs};
