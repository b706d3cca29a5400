// Reference rows of the event library: what tools/reference writes into docs/commands/event.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "WaitLeftMouse", .synopsis = "WaitLeftMouse()", .arguments = {0, 0},
     .text = "Waits until the left mouse button is clicked on the current display.",
     .errors = {kErrDisplayClosed}},
    {.name = "WaitRightMouse", .synopsis = "WaitRightMouse()", .arguments = {0, 0},
     .text = "Waits until the right mouse button is clicked on the current display.",
     .errors = {kErrDisplayClosed}},
    {.name = "WaitKeyDown", .synopsis = "WaitKeyDown(key)", .arguments = {1, 1},
     .text = "Waits until a key is pressed: a character such as \"a\", or a key name such as \"SPACE\", "
             "\"RETURN\", \"ESC\", \"UP\" or \"F1\". Waiting for \"ESC\" needs EscapeQuit(False) first: by "
             "default Escape ends the program.",
     .errors = {kErrDisplayClosed, kErrWrongUsage},
     .example = "WaitKeyDown(\"SPACE\")"},
    {.name = "IsKeyDown", .synopsis = "down = IsKeyDown(key)", .arguments = {1, 1},
     .text = "Returns True while the key is held down; the key is named as for WaitKeyDown.",
     .errors = {kErrWrongUsage}},
    {.name = "WhileRightMouseDown", .synopsis = "WhileRightMouseDown()", .arguments = {0, 0},
     .text = "Waits while the right mouse button is held down."},
    {.name = "WhileMouseDown", .synopsis = "WhileMouseDown()", .arguments = {0, 0},
     .text = "Waits while the left mouse button is held down."},
    {.name = "WhileKeyDown", .synopsis = "WhileKeyDown()", .arguments = {0, 0},
     .text = "Waits while the key pressed last is held down."},
    {.name = "IsLeftMouse", .synopsis = "down = IsLeftMouse()", .arguments = {0, 0},
     .text = "Returns True while the left mouse button is down."},
    {.name = "IsRightMouse", .synopsis = "down = IsRightMouse()", .arguments = {0, 0},
     .text = "Returns True while the right mouse button is down."},
    {.name = "BreakWhileMouseOn", .synopsis = "BreakWhileMouseOn()", .arguments = {0, 0},
     .text = "Makes a running WhileMouseOn return at once."},
    {.name = "SetEventTimeout", .synopsis = "SetEventTimeout(ms)", .arguments = {1, 1},
     .text = "Sets an age in milliseconds (1500 at the start) after which waiting events are dropped "
             "instead of handled, so a slow program does not work through a backlog of old mouse moves. "
             "Input that came while the script was in Wait, WaitTimer, a transition effect (DisplayBrushFX, "
             "DisplayTransitionFX) or a long computation waits in the queue until CheckEvent or WaitEvent; what "
             "has waited longer than this is dropped then."},
    {.name = "GetEventCode", .synopsis = "code = GetEventCode()", .arguments = {0, 0},
     .text = "Returns the id of the button or key that caused the last event of the old-style event labels."},
    {.name = "LeftMouseQuit", .synopsis = "LeftMouseQuit(enable)", .arguments = {1, 1},
     .text = "With True, a click of the left mouse button ends the program."},
    {.name = "EscapeQuit", .synopsis = "EscapeQuit(enable)", .arguments = {1, 1},
     .text = "With False, the Escape key no longer ends the program; True turns that back on. It is on when a "
             "program starts: a program that waits for Escape itself (an OnKeyDown function or a loop testing "
             "IsKeyDown(\"ESC\")) must call EscapeQuit(False) first, or the key ends the program before the wait "
             "sees it and the code after the wait never runs."},
    {.name = "CtrlCQuit", .synopsis = "CtrlCQuit(enable)", .arguments = {1, 1},
     .text = "With False, Ctrl-C no longer ends the program; True (the start) lets it end it again. The "
             "Ctrl-C meant is the interrupt signal (SIGINT), from Ctrl-C typed in the terminal that started "
             "the player or from `kill -INT`: it ends the program at once, with status 130. Ctrl+C typed in "
             "the player's window is an ordinary key (a \"c\" to OnKeyDown) and never ends the program.",
     .example = "CtrlCQuit(False)   ; an interrupt from the terminal no longer ends the program"},
    {.name = "EnableEvent", .synopsis = "EnableEvent(type, id)", .arguments = {2, 2},
     .text = "Turns an old-style button or key event (#ONBUTTONCLICK, #ONKEYDOWN, ...) back on for one id."},
    {.name = "DisableEvent", .synopsis = "DisableEvent(type, id)", .arguments = {2, 2},
     .text = "Turns an old-style button or key event off for one id, without removing it."},
    {.name = "RemoveButton", .synopsis = "RemoveButton(id)", .arguments = {1, 1},
     .text = "Removes an old-style button made with CreateButton."},
    {.name = "RemoveKeyDown", .synopsis = "RemoveKeyDown(id)", .arguments = {1, 1},
     .text = "Removes an old-style key event made with CreateKeyDown."},
    {.name = "ModifyButton", .synopsis = "ModifyButton(id, x1, y1, x2, y2)", .arguments = {5, 5},
     .text = "Gives an old-style button a new rectangle.",
     .errors = {kErrButtonNotFound, kErrObjectNotFound}},
    {.name = "ModifyKeyDown", .synopsis = "ModifyKeyDown(id, key)", .arguments = {2, 2},
     .text = "Gives an old-style key event another key."},
    {.name = "WhileMouseOn", .synopsis = "WhileMouseOn()", .arguments = {0, 0},
     .text = "Waits while the mouse stays on the old-style button it is over, so a script can react to it "
             "leaving."},
    {.name = "CreateButton", .synopsis = "CreateButton(id, x1, y1, x2, y2)", .arguments = {5, 5},
     .text = "Creates an old-style button: a rectangle of the display whose clicks and hovering the "
             "old-style event labels report. New scripts use MakeButton."},
    {.name = "CreateKeyDown", .synopsis = "CreateKeyDown(id, key)", .arguments = {2, 2},
     .text = "Creates an old-style key event reported through the event labels. New scripts use "
             "InstallEventHandler."},
    {.name = "FreeEventCache", .synopsis = "FreeEventCache()", .arguments = {0, 0},
     .text = "Drops every event that waits to be handled."},
    {.name = "ClearEvents", .synopsis = "ClearEvents()", .arguments = {0, 0},
     .text = "Removes every old-style button and key event."},
    {.name = "CheckEvent", .synopsis = "event = CheckEvent()", .arguments = {0, 0},
     .text = "Handles one waiting event, calling its handler, and returns without waiting; the result "
             "describes what was handled (its triggered field is 0 when nothing was). Handlers, intervals "
             "and timeouts run only inside CheckEvent and WaitEvent. Called inside one of those functions it "
             "fails with 1055, as WaitEvent does: the one pass that hands out events is in the middle of "
             "that function's call, so the function returns instead and the loop that called it handles the "
             "next event.",
     .errors = {kErrUserAbort, kErrWrongUsage}},
    {.name = "WaitEvent", .synopsis = "event = WaitEvent()", .arguments = {0, 0},
     .text = "Waits for the next event (a click, a key, an interval, a window event ...) and calls the "
             "function installed for it. A program's main loop is usually just this call, repeated. Handlers, "
             "intervals and timeouts run only here and in CheckEvent, never during Wait or WaitTimer; events "
             "that waited in the queue longer than the event timeout (SetEventTimeout, 1500 ms) are dropped "
             "unhandled. To pause while handlers keep running, let a timeout end the pause: "
             "`SetTimeout(Nil, Function() done = True EndFunction, 2000)`, then `Repeat WaitEvent() Until "
             "done`; for work at a steady pace, SetInterval and WaitEvent. Called inside a handler, interval "
             "or timeout it fails with 1055: the one pass that hands out events is in the middle of that "
             "function's call, so the function returns instead and the outer loop handles the next event.",
     .errors = {kErrDisplayClosed, kErrCallbackStringExpected, kErrWrongUsage},
     .example = "Local done = False\n"
                "SetTimeout(Nil, Function() done = True EndFunction, 500)\n"
                "Repeat\n"
                "    WaitEvent()   ; runs each handler, interval and timeout as its event comes\n"
                "Until done"},
    {.name = "MouseX", .synopsis = "x = MouseX()", .arguments = {0, 0},
     .text = "Returns the mouse's x position on the current display."},
    {.name = "MouseY", .synopsis = "y = MouseY()", .arguments = {0, 0},
     .text = "Returns the mouse's y position on the current display."},
    {.name = "MakeButton",
     .synopsis = "[handle =] MakeButton(id, #SIMPLEBUTTON, x, y, width, height, events[, userdata]) or "
                 "MakeButton(id, #LAYERBUTTON, layer, pixelexact, whenhidden, events[, userdata])",
     .arguments = {6, 8},
     .text = "Creates a button: with #SIMPLEBUTTON a rectangle of the display; with #LAYERBUTTON the "
             "arguments after the type are a layer, whether hits are pixel-exact, and whether the button "
             "works while the layer is hidden. events is a table of functions called when the mouse is over "
             "it, leaves it or clicks it; each gets a message table and the userdata.",
     .options = "OnMouseOver, OnMouseOut, OnMouseDown, OnMouseUp, OnRightMouseDown, OnRightMouseUp, "
                "OnMidMouseDown, OnMidMouseUp",
     .errors = {kErrNoActiveBGPic, kErrWrongUsage, kErrLayerOutOfRange},
     .example = "Function Clicked(msg) DebugPrint(\"clicked\", msg.id) EndFunction\n"
                "MakeButton(1, #SIMPLEBUTTON, 10, 10, 100, 30, {OnMouseUp = Clicked})"},
    {.name = "DeleteButton", .synopsis = "DeleteButton(id)", .arguments = {1, 1},
     .text = "Removes a button made with MakeButton.",
     .errors = {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {.name = "DisableButton", .synopsis = "DisableButton(id)", .arguments = {1, 1},
     .text = "Stops a button from reacting until EnableButton.",
     .errors = {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {.name = "EnableButton", .synopsis = "EnableButton(id)", .arguments = {1, 1},
     .text = "Lets a disabled button react again.",
     .errors = {kErrNoActiveBGPic, kErrObjectNotFound, kErrButtonNotFound}},
    {.name = "InstallEventHandler", .synopsis = "InstallEventHandler(handlers[, userdata])",
     .arguments = {1, 2},
     .text = "Installs functions for the events of the current display and for the program's own events (sound "
             "ends, ARexx): the table maps event names to functions, or to 0 to remove one; names left out stay "
             "as they are. A userdata argument goes to every function this call sets (as the message's "
             "userdata). Escape ends the program before an OnKeyDown function sees it, as long as EscapeQuit is "
             "on, which it is when a program starts: a program that waits for Escape (to save a high score after "
             "its main loop, say) calls EscapeQuit(False) first. WaitEvent and CheckEvent call the functions with "
             "one argument, a message table: action is the event's name as below, and the other fields are:\n"
             "\n"
             "| event | fields beside action |\n"
             "|---|---|\n"
             "| OnKeyDown, OnKeyUp | key (the character typed, in the default encoding; ESC (only after "
             "EscapeQuit(False)), UP, DOWN, LEFT, RIGHT, F1 ... F16, HELP, BACKSPACE, DEL, INSERT, HOME, END, PAGEUP, PAGEDOWN, PRINT, PAUSE by name; Tab gives eight blanks, "
             "Return and Enter a line feed), id (the display) |\n"
             "| OnMouseMove | x, y (the mouse on the display), id |\n"
             "| OnMouseDown, OnMouseUp, OnRightMouseDown, OnRightMouseUp, OnMidMouseDown, OnMidMouseUp, "
             "OnWheelUp, OnWheelDown | id |\n"
             "| CloseWindow, ActiveWindow, InactiveWindow, HideWindow, ShowWindow, ClipboardChange | id |\n"
             "| SizeWindow | width, height (the display's new size), id |\n"
             "| MoveWindow | x, y (the display's new position), id |\n"
             "| ModeSwitch | mode (2 in the program's own full screen, 1 in a window), id |\n"
             "| OnDropFile | id, x, y (where the files were dropped), dropfiles (the file names from index 0), "
             "numdropfiles |\n"
             "| OnSampleEnd, OnSampleLoop | time (milliseconds played), starts (times started), id (the sample) "
             "|\n"
             "| OnMusicEnd | id (the music) |\n"
             "| OnARexx | command (the message's first word), rawargs (the rest as sent), args (the rest split "
             "at blanks outside double quotes, the parts joined by zero bytes), argc (the number of parts); the "
             "function's first result is the reply |\n"
             "\n"
             "Every message also has userdata when one was given. Intervals and timeouts (SetInterval, "
             "SetTimeout) get action Interval or Timeout and id; buttons (MakeButton) get id, action, x, y, "
             "width, height, mousedown, rightmousedown, midmousedown and display, and a layer button also layer "
             "and layername. While a CloseWindow function is installed the window's close gadget only sends the "
             "event instead of ending the program.",
     .options = "OnKeyDown, OnKeyUp, OnMouseMove, OnMouseDown, OnMouseUp, OnRightMouseDown, OnRightMouseUp, "
                "OnMidMouseDown, OnMidMouseUp, OnWheelUp, OnWheelDown, CloseWindow, SizeWindow, MoveWindow, "
                "ActiveWindow, InactiveWindow, HideWindow, ShowWindow, ModeSwitch, ClipboardChange, "
                "OnMusicEnd, OnSampleEnd, OnSampleLoop, OnARexx, OnDropFile",
     .example = "EscapeQuit(False)   ; else Escape ends the program before OnKeyDown sees it\n"
                "Local quit = False\n"
                "InstallEventHandler({OnKeyDown = Function(msg)\n"
                "    DebugPrint(\"key\", msg.key)\n"
                "    If msg.key == \"ESC\" Then quit = True EndIf\n"
                "EndFunction})\n"
                "Repeat\n"
                "    WaitEvent()\n"
                "Until quit\n"
                "DebugPrint(\"Escape ended the loop\")"},
    {.name = "SetInterval", .synopsis = "[handle =] SetInterval(id, function, ms[, userdata])",
     .arguments = {3, 4},
     .text = "Calls a function every ms milliseconds until ClearInterval. The calls are made by "
             "WaitEvent and CheckEvent: while the script is elsewhere (in Wait, say) the interval waits, and "
             "the ticks it missed give one call, not one each.",
     .errors = {kErrWrongUsage},
     .example = "Local ticks = 0\n"
                "SetInterval(1, Function() ticks = ticks + 1 DebugPrint(\"tick\", ticks) EndFunction, 100)\n"
                "Repeat\n"
                "    WaitEvent()\n"
                "Until ticks == 3\n"
                "ClearInterval(1)"},
    {.name = "SetTimeout", .synopsis = "[handle =] SetTimeout(id, function, ms[, userdata])",
     .arguments = {3, 4},
     .text = "Calls a function once after ms milliseconds, from the first WaitEvent or CheckEvent after "
             "that time.",
     .errors = {kErrWrongUsage}},
    {.name = "ClearInterval", .synopsis = "ClearInterval(id)", .arguments = {1, 1},
     .text = "Stops an interval.",
     .errors = {kErrObjectNotFound, kErrIntervalNotFound}},
    {.name = "ClearTimeout", .synopsis = "ClearTimeout(id)", .arguments = {1, 1},
     .text = "Cancels a timeout that has not run yet.",
     .errors = {kErrObjectNotFound, kErrTimeoutNotFound}},
    {.name = "ChangeInterval", .synopsis = "ChangeInterval(id, ms)", .arguments = {2, 2},
     .text = "Changes how often an interval calls its function.",
     .errors = {kErrObjectNotFound, kErrIntervalNotFound}},
    {.name = "DumpButtons", .synopsis = "DumpButtons()", .arguments = {0, 0},
     .text = "Prints the buttons of the current display to the debug output, for debugging."},
    {.name = "WaitMidMouse", .synopsis = "WaitMidMouse()", .arguments = {0, 0},
     .text = "Waits until the middle mouse button is clicked on the current display.",
     .errors = {kErrDisplayClosed}},
    {.name = "IsMidMouse", .synopsis = "down = IsMidMouse()", .arguments = {0, 0},
     .text = "Returns True while the middle mouse button is down."},
    {.name = "ResetKeyStates", .synopsis = "ResetKeyStates()", .arguments = {0, 0},
     .text = "Forgets which keys and mouse buttons are held down, as if all were released."},
    {.name = "JoyDir", .synopsis = "direction = JoyDir(port)", .arguments = {1, 1},
     .text = "Returns the direction a joystick points in: #JOYUP, #JOYUPRIGHT, ... #JOYNODIR.",
     .errors = {kErrJoystickPort, kErrJoystickAcquire}},
    {.name = "JoyFire", .synopsis = "pressed = JoyFire(port[, button])", .arguments = {1, 2},
     .text = "Returns True while the joystick's fire button (or the given button) is pressed.",
     .errors = {kErrWrongUsage, kErrJoystickPort, kErrJoystickAcquire}},
    {.name = "CountJoysticks", .synopsis = "count = CountJoysticks()", .arguments = {0, 0},
     .text = "Returns how many joysticks are connected."},
    {},
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
