// Reference rows of the event library: what tools/reference writes into docs/commands/event.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"WaitLeftMouse", "WaitLeftMouse()",
     "Waits until the left mouse button is clicked on the current display.",
     nullptr, {kErrDisplayClosed}},
    {"WaitRightMouse", "WaitRightMouse()",
     "Waits until the right mouse button is clicked on the current display.",
     nullptr, {kErrDisplayClosed}},
    {"WaitKeyDown", "WaitKeyDown(key)",
     "Waits until a key is pressed: a character such as \"a\", or a key name such as \"SPACE\", \"RETURN\", "
     "\"ESC\", \"UP\" or \"F1\".",
     nullptr, {kErrDisplayClosed, kErrWrongUsage},
     "WaitKeyDown(\"SPACE\")"},
    {"IsKeyDown", "down = IsKeyDown(key)",
     "Returns True while the key is held down; the key is named as for WaitKeyDown.",
     nullptr, {kErrWrongUsage}},
    {"WhileRightMouseDown", "WhileRightMouseDown()",
     "Waits while the right mouse button is held down."},
    {"WhileMouseDown", "WhileMouseDown()",
     "Waits while the left mouse button is held down."},
    {"WhileKeyDown", "WhileKeyDown()",
     "Waits while the key pressed last is held down."},
    {"IsLeftMouse", "down = IsLeftMouse()",
     "Returns True while the left mouse button is down."},
    {"IsRightMouse", "down = IsRightMouse()",
     "Returns True while the right mouse button is down."},
    {"BreakWhileMouseOn", "BreakWhileMouseOn()",
     "Makes a running WhileMouseOn return at once."},
    {"SetEventTimeout", "SetEventTimeout(ms)",
     "Sets an age in milliseconds after which waiting events are dropped instead of handled, so a slow "
     "program does not work through a backlog of old mouse moves."},
    {"GetEventCode", "code = GetEventCode()",
     "Returns the id of the button or key that caused the last event of the old-style event labels."},
    {"LeftMouseQuit", "LeftMouseQuit(enable)",
     "With True, a click of the left mouse button ends the program."},
    {"EscapeQuit", "EscapeQuit(enable)",
     "With True, the Escape key ends the program."},
    {"CtrlCQuit", "CtrlCQuit(enable)",
     "With False, Ctrl-C no longer ends the program."},
    {"EnableEvent", "EnableEvent(type, id)",
     "Turns an old-style button or key event (#ONBUTTONCLICK, #ONKEYDOWN, ...) back on for one id."},
    {"DisableEvent", "DisableEvent(type, id)",
     "Turns an old-style button or key event off for one id, without removing it."},
    {"RemoveButton", "RemoveButton(id)",
     "Removes an old-style button made with CreateButton."},
    {"RemoveKeyDown", "RemoveKeyDown(id)",
     "Removes an old-style key event made with CreateKeyDown."},
    {"ModifyButton", "ModifyButton(id, x1, y1, x2, y2)",
     "Gives an old-style button a new rectangle.",
     nullptr, {kErrButtonNotFound, kErrObjectNotFound}},
    {"ModifyKeyDown", "ModifyKeyDown(id, key)",
     "Gives an old-style key event another key."},
    {"WhileMouseOn", "WhileMouseOn()",
     "Waits while the mouse stays on the old-style button it is over, so a script can react to it "
     "leaving."},
    {"CreateButton", "CreateButton(id, x1, y1, x2, y2)",
     "Creates an old-style button: a rectangle of the display whose clicks and hovering the old-style "
     "event labels report. New scripts use MakeButton."},
    {"CreateKeyDown", "CreateKeyDown(id, key)",
     "Creates an old-style key event reported through the event labels. New scripts use "
     "InstallEventHandler."},
    {"FreeEventCache", "FreeEventCache()",
     "Drops every event that waits to be handled."},
    {"ClearEvents", "ClearEvents()",
     "Removes every old-style button and key event."},
    {"CheckEvent", "event = CheckEvent()",
     "Handles one waiting event, calling its handler, and returns without waiting; the result describes "
     "what was handled."},
    {"WaitEvent", "event = WaitEvent()",
     "Waits for the next event (a click, a key, an interval, a window event ...) and calls the function "
     "installed for it. A program's main loop is usually just this call, repeated.",
     nullptr, {kErrDisplayClosed},
     "Repeat\n"
     "    WaitEvent()\n"
     "Until quit"},
    {"MouseX", "x = MouseX()",
     "Returns the mouse's x position on the current display."},
    {"MouseY", "y = MouseY()",
     "Returns the mouse's y position on the current display."},
    {"MakeButton", "[handle =] MakeButton(id, type, x, y, width, height, events[, userdata])",
     "Creates a button: with #SIMPLEBUTTON a rectangle of the display; with #LAYERBUTTON the arguments "
     "after the type are a layer, whether hits are pixel-exact, and whether the button works while the "
     "layer is hidden. events is a table of functions called when the mouse is over it, leaves it or "
     "clicks it; each gets a message table and the userdata.",
     "OnMouseOver, OnMouseOut, OnMouseDown, OnMouseUp, OnRightMouseDown, OnRightMouseUp, "
     "OnMidMouseDown, OnMidMouseUp", {kErrNoActiveBGPic, kErrWrongUsage, kErrLayerOutOfRange},
     "Function Clicked(msg) DebugPrint(\"clicked\", msg.id) EndFunction\n"
     "MakeButton(1, #SIMPLEBUTTON, 10, 10, 100, 30, {OnMouseUp = Clicked})"},
    {"DeleteButton", "DeleteButton(id)",
     "Removes a button made with MakeButton.",
     nullptr, {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {"DisableButton", "DisableButton(id)",
     "Stops a button from reacting until EnableButton.",
     nullptr, {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {"EnableButton", "EnableButton(id)",
     "Lets a disabled button react again.",
     nullptr, {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {"InstallEventHandler", "InstallEventHandler(handlers[, userdata])",
     "Installs functions for events: the table maps event names (OnKeyDown, OnKeyUp, OnMouseMove, "
     "OnMouseDown, CloseWindow, SizeWindow, OnMusicEnd, ...) to functions, or 0 to remove one. Each "
     "function gets a message table; WaitEvent and CheckEvent call them.",
     "OnKeyDown, OnKeyUp, OnMouseMove, OnMouseDown, OnMouseUp, OnRightMouseDown, OnRightMouseUp, "
     "OnMidMouseDown, OnMidMouseUp, OnWheelUp, OnWheelDown, CloseWindow, SizeWindow, MoveWindow, "
     "ActiveWindow, InactiveWindow, HideWindow, ShowWindow, ModeSwitch, ClipboardChange, OnMusicEnd, "
     "OnSampleEnd, OnSampleLoop, OnARexx, OnDropFile", {},
     "InstallEventHandler({OnKeyDown = Function(msg) DebugPrint(\"key\", msg.key) EndFunction})"},
    {"SetInterval", "[handle =] SetInterval(id, function, ms[, userdata])",
     "Calls a function every ms milliseconds (while WaitEvent or CheckEvent handles events) until "
     "ClearInterval.",
     nullptr, {kErrWrongUsage},
     "SetInterval(1, Function() DebugPrint(\"tick\") EndFunction, 1000)"},
    {"SetTimeout", "[handle =] SetTimeout(id, function, ms[, userdata])",
     "Calls a function once after ms milliseconds (when events are handled).",
     nullptr, {kErrWrongUsage}},
    {"ClearInterval", "ClearInterval(id)",
     "Stops an interval.",
     nullptr, {kErrObjectNotFound, kErrIntervalNotFound}},
    {"ClearTimeout", "ClearTimeout(id)",
     "Cancels a timeout that has not run yet.",
     nullptr, {kErrObjectNotFound, kErrTimeoutNotFound}},
    {"ChangeInterval", "ChangeInterval(id, ms)",
     "Changes how often an interval calls its function.",
     nullptr, {kErrObjectNotFound, kErrIntervalNotFound}},
    {"DumpButtons", "DumpButtons()",
     "Prints the buttons of the current display to the debug output, for debugging."},
    {"WaitMidMouse", "WaitMidMouse()",
     "Waits until the middle mouse button is clicked on the current display.",
     nullptr, {kErrDisplayClosed}},
    {"IsMidMouse", "down = IsMidMouse()",
     "Returns True while the middle mouse button is down."},
    {"ResetKeyStates", "ResetKeyStates()",
     "Forgets which keys and mouse buttons are held down, as if all were released."},
    {"JoyDir", "direction = JoyDir(port)",
     "Returns the direction a joystick points in: #JOYUP, #JOYUPRIGHT, ... #JOYNODIR."},
    {"JoyFire", "pressed = JoyFire(port[, button])",
     "Returns True while the joystick's fire button (or the given button) is pressed.",
     nullptr, {kErrWrongUsage}},
    {"CountJoysticks", "count = CountJoysticks()",
     "Returns how many joysticks are connected."},
    {nullptr, nullptr, nullptr},
};

const ConstantDoc kConstantDocs[] = {
    {"MOVEWINDOW", "Event: the window was moved."},
    {"SIZEWINDOW", "Event: the window was resized."},
    {"INACTIVEWINDOW", "Event: the window lost the focus."},
    {"ACTIVEWINDOW", "Event: the window got the focus."},
    {"CLOSEWINDOW", "Event: the window's close gadget was clicked."},
    {"ONBUTTONCLICKALL", "Old-style events: a click on any button."},
    {"ONBUTTONRIGHTCLICKALL", "Old-style events: a right click on any button."},
    {"ONBUTTONOVERALL", "Old-style events: the mouse over any button."},
    {"ONKEYDOWNALL", "Old-style events: any key event."},
    {"JOYUP", "JoyDir: up."},
    {"JOYUPRIGHT", "JoyDir: up and right."},
    {"JOYRIGHT", "JoyDir: right."},
    {"JOYDOWNRIGHT", "JoyDir: down and right."},
    {"JOYDOWN", "JoyDir: down."},
    {"JOYDOWNLEFT", "JoyDir: down and left."},
    {"JOYLEFT", "JoyDir: left."},
    {"JOYUPLEFT", "JoyDir: up and left."},
    {"JOYNODIR", "JoyDir: no direction."},
    {"ONBUTTONCLICK", "Old-style events: a click on a button."},
    {"ONBUTTONOVER", "Old-style events: the mouse over a button."},
    {"ONKEYDOWN", "Old-style events: a key."},
    {"ONBUTTONRIGHTCLICK", "Old-style events: a right click on a button."},
    {"SIMPLEBUTTON", "MakeButton: a rectangular button."},
    {"LAYERBUTTON", "MakeButton: a button over a layer."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kEventReference;
const LibraryReference kEventReference = {
    "Input and events: the mouse, the keyboard and joysticks, buttons, event handlers, intervals and "
    "timeouts.",
    kCommandDocs, kConstantDocs};
