// Reference rows of the system library: what tools/reference writes into docs/commands/system.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "Wait", .synopsis = "Wait(time[, unit])", .arguments = {1, 2},
     .text = "Pauses the script for a while. The unit is #TICKS (fiftieths of a second, the default), "
             "#MILLISECONDS or #SECONDS. Meanwhile the player keeps taking input and window events and queues "
             "them, but no handler, interval or timeout runs: they run only when the script calls CheckEvent or "
             "WaitEvent, and then queued events older than the event timeout (1500 ms unless SetEventTimeout "
             "changed it) are dropped, so a key pressed early in Wait(3, #SECONDS) is never seen, and an "
             "interval runs once for all the ticks it missed. To wait while handlers run, end the wait with a "
             "timeout and call WaitEvent until it has run: `SetTimeout(Nil, Function() done = True "
             "EndFunction, 2000)`, then `Repeat WaitEvent() Until done`.\n"
             "\n"
             "Inside a handler, interval or timeout, Wait still works but holds everything up: no other "
             "handler, interval or timeout runs until the handler returns, and WaitEvent there fails with "
             "1055. To pause in the middle of a handler's work, end the handler there and let a timeout do "
             "the rest: the handler calls `SetTimeout(Nil, NextStep, 2000)` and returns, the main loop's "
             "WaitEvent goes on serving the other events, and NextStep runs two seconds later, as the "
             "example's second part does.",
     .example = "Wait(500, #MILLISECONDS)\n"
                "\n"
                "; a pause inside a handler: the timeout takes over after it\n"
                "Local finished = False\n"
                "Function ShowScore()\n"
                "    DebugPrint(\"game over\")\n"
                "    SetTimeout(Nil, Function() DebugPrint(\"scores\") finished = True EndFunction, 1000)\n"
                "EndFunction                      ; returns at once: no Wait here\n"
                "SetTimeout(Nil, ShowScore, 200)\n"
                "Repeat WaitEvent() Until finished"},
    {.name = "OpenCatalog", .synopsis = "OpenCatalog(name[, version])", .arguments = {1, 2},
     .text = "Opens the message catalog of that name in the user's language, so GetCatalogString returns "
             "translated texts. Without a matching catalog the script's own texts are used; that is no "
             "error."},
    {.name = "CloseCatalog", .synopsis = "CloseCatalog()", .arguments = {0, 0},
     .text = "Closes the open message catalog."},
    {.name = "GetCatalogString", .synopsis = "text = GetCatalogString(id, default)", .arguments = {2, 2},
     .text = "Returns text number id of the open catalog, or default when no catalog is open or it lacks "
             "that text."},
    {.name = "GetDate", .synopsis = "date = GetDate([long])", .arguments = {0, 1},
     .text = "Returns today's date as text; with long set to True it also holds the time, as \"07-Dec-2026 "
             "18:30:00\"."},
    {.name = "GetTime", .synopsis = "time = GetTime([seconds])", .arguments = {0, 1},
     .text = "Returns the time of day as \"hh:mm\", or \"hh:mm:ss\" when seconds is True."},
    {.name = "GetWeekday", .synopsis = "day = GetWeekday()", .arguments = {0, 0},
     .text = "Returns the name of the day of the week."},
    {.name = "GetDateNum", .synopsis = "n = GetDateNum(part)", .arguments = {1, 1},
     .text = "Returns one part of today's date as a number: #DATEYEAR, #DATEMONTH (1 to 12), #DATEDAY or "
             "#DATETIME."},
    {.name = "GetTimer", .synopsis = "ms = GetTimer(id[, ignored])", .arguments = {1, 2},
     .text = "Returns the milliseconds that have passed on a timer since it was started or reset, not "
             "counting paused time.",
     .errors = {kErrTimerNotFound, kErrObjectNotFound}},
    {.name = "PauseTimer", .synopsis = "PauseTimer(id)", .arguments = {1, 1},
     .text = "Stops a timer from counting until ResumeTimer.",
     .errors = {kErrTimerNotFound, kErrObjectNotFound}},
    {.name = "ResumeTimer", .synopsis = "ResumeTimer(id)", .arguments = {1, 1},
     .text = "Lets a paused timer count on from where it stopped.",
     .errors = {kErrTimerNotFound, kErrObjectNotFound}},
    {.name = "StartTimer", .synopsis = "[handle =] StartTimer(id[, ignored])", .arguments = {1, 2},
     .text = "Starts a timer counting from 0 (restarting it when it already exists). Nil as id returns a "
             "handle.",
     .example = "StartTimer(1)\n"
                "Local sum = 0\n"
                "For i = 1 To 100000\n"
                "    sum = sum + i\n"
                "Next\n"
                "DebugPrint(\"took\", GetTimer(1), \"ms\")"},
    {.name = "StopTimer", .synopsis = "StopTimer(id)", .arguments = {1, 1},
     .text = "Stops a timer and frees it.",
     .errors = {kErrTimerNotFound, kErrObjectNotFound}},
    {.name = "SystemRequest", .synopsis = "button = SystemRequest(title, text, buttons[, icon])",
     .arguments = {3, 4},
     .text = "Shows a message box and waits for the user. buttons names the buttons separated by \"|\"; the "
             "result is the number of the button chosen, counting from 1 and with the last button giving 0. "
             "icon is one of the #REQICON_ constants.",
     .errors = {kErrOutOfMemory},
     .example = "If SystemRequest(\"Quit\", \"Really quit?\", \"Yes|No\") == 1 Then End() EndIf"},
    {.name = "GetMemoryInfo", .synopsis = "bytes = GetMemoryInfo(type)", .arguments = {1, 1},
     .text = "Returns the free memory of the kind #CHIPMEMORY or #FASTMEMORY, in bytes.",
     .errors = {kErrWrongUsage}},
    {.name = "End", .synopsis = "End()", .arguments = {0, 0},
     .text = "Ends the program once the current command returns, freeing everything it used."},
    {.name = "GetErrorName", .synopsis = "message = GetErrorName(code)", .arguments = {1, 1},
     .text = "Returns the message of an error code, as GetLastError reports it."},
    {.name = "Sort", .synopsis = "Sort(list[, compare])", .arguments = {1, 2},
     .text = "Sorts a list (from index 0) in place: numbers or strings in ascending order, or by the "
             "function compare(a, b), which returns True when a belongs before b.",
     .errors = {kErrStackOverflow, kErrWrongType, kErrInvalidSortFunction},
     .example = "Local t = {3, 1, 2}\n"
                "Sort(t)   ; t is {1, 2, 3}"},
    {.name = "DebugStr", .synopsis = "DebugStr(value, ...)", .arguments = {1, kNoMaximum},
     .text = "Prints its arguments to the debug output (the console) as DebugPrint does."},
    {.name = "DebugVal", .synopsis = "DebugVal(value, ...)", .arguments = {1, kNoMaximum},
     .text = "Prints its arguments to the debug output as DebugPrint does."},
    {.name = "DebugPrint", .synopsis = "DebugPrint(value, ...)", .arguments = {1, kNoMaximum},
     .text = "Prints its arguments to the debug output, separated by blanks and followed by a new line.",
     .example = "Local score = 120\n"
                "DebugPrint(\"score:\", score)   ; score: 120"},
    {.name = "ExitOnError", .synopsis = "ExitOnError(enable)", .arguments = {1, 1},
     .text = "With True (the start-up setting) an error stops the program with a message; with False a "
             "failing command only sets the code GetLastError returns and the script goes on. An error inside "
             "an event callback always ends the callback; the command that called it (CheckEvent, WaitEvent, "
             "WhileMouseOn) then fails with that error, so with False the script goes on after that call.",
     .example = "ExitOnError(False)\n"
                "LoadBrush(1, \"maybe.png\")\n"
                "If GetLastError() <> 0 Then DebugPrint(\"no picture\") EndIf\n"
                "ExitOnError(True)"},
    {.name = "GetLastError", .synopsis = "code = GetLastError()", .arguments = {0, 0},
     .text = "Returns the code of the last error a command raised while ExitOnError was off, or 0 when "
             "none has failed yet. A command that succeeds does not clear it: the code stays until another "
             "command fails."},
    {.name = "DebugOutput", .synopsis = "DebugOutput(enable)", .arguments = {1, 1},
     .text = "With True, prints the name of every command before it runs, to follow what a script does."},
    {.name = "GetType", .synopsis = "type = GetType(value)", .arguments = {1, 1},
     .text = "Returns the type of a value: #NUMBER, #STRING, #TABLE, #FUNCTION, #NIL, #USERDATA, "
             "#LIGHTUSERDATA or #THREAD."},
    {.name = "IIf", .synopsis = "result = IIf(condition, a, b)", .arguments = {3, 3},
     .text = "Returns a when condition is true and b otherwise. Both are evaluated before the call.",
     .errors = {kErrWrongType}},
    {.name = "InsertItem", .synopsis = "InsertItem(list, item[, position])", .arguments = {2, 3},
     .text = "Inserts item into a list before position, moving the later items up; without a position it "
             "appends."},
    {.name = "RemoveItem", .synopsis = "item = RemoveItem(list[, position])", .arguments = {1, 2},
     .text = "Removes and returns the item at position, moving the later items down; without a position it "
             "removes the last."},
    {.name = "ListItems", .synopsis = "count = ListItems(list)", .arguments = {1, 1},
     .text = "Returns the number of items in a list: the indices from 0 up to the first Nil."},
    {.name = "StringRequest",
     .synopsis = "text = StringRequest(title, body[, default, type, maxlength, password])",
     .arguments = {2, 6},
     .text = "Asks the user to type a line of text and returns it. default is the starting text, type #ALL "
             "accepts any text and #NUMERICAL digits only, maxlength limits the length, and password hides "
             "what is typed.",
     .errors = {kErrUserAbort, kErrWrongUsage, kErrCannotOpen}},
    {.name = "Unpack", .synopsis = "a, b, ... = Unpack(list)", .arguments = {1, 1},
     .text = "Returns the items of a list as separate values, to pass them on as arguments.",
     .errors = {kErrStackOverflow}},
    {.name = "SetMetaTable", .synopsis = "table = SetMetaTable(table, metatable)", .arguments = {2, 2},
     .text = "Gives a table a metatable (or removes it with Nil), whose fields such as __index and __add "
             "change how the table behaves.",
     .errors = {kErrProtectedMetatable, kErrTableOrNilExpected}},
    {.name = "GetMetaTable", .synopsis = "metatable = GetMetaTable(value)", .arguments = {1, 1},
     .text = "Returns the metatable of a value, or Nil."},
    {.name = "RawEqual", .synopsis = "same = RawEqual(a, b)", .arguments = {2, 2},
     .text = "Compares two values without calling their metatables' __eq."},
    {.name = "RawGet", .synopsis = "value = RawGet(table, key)", .arguments = {2, 2},
     .text = "Reads a table field without calling its metatable's __index."},
    {.name = "RawSet", .synopsis = "table = RawSet(table, key, value)", .arguments = {3, 3},
     .text = "Writes a table field without calling its metatable's __newindex."},
    {.name = "GCInfo", .synopsis = "used, threshold = GCInfo()", .arguments = {0, 0},
     .text = "Returns the memory the script's values use, in kilobytes, and the amount at which the next "
             "garbage collection starts."},
    {.name = "CollectGarbage", .synopsis = "CollectGarbage([threshold])", .arguments = {0, 1},
     .text = "Sets the threshold of the next garbage collection in kilobytes; 0 (the default) collects at "
             "once."},
    {.name = "Error", .synopsis = "Error(message)", .arguments = {1, 1},
     .text = "Raises an error with the given message, as a failing command would.",
     .errors = {kErrUserError}},
    {.name = "WaitTimer", .synopsis = "WaitTimer(id, time[, reset])", .arguments = {2, 3},
     .text = "Waits until the timer reaches time milliseconds, then restarts it unless reset is False. "
             "Called once per frame it keeps a loop at a steady pace. It waits as Wait does: input is queued "
             "meanwhile, but handlers, intervals and timeouts run only in CheckEvent or WaitEvent, so such a "
             "loop calls CheckEvent each frame (events queued longer than the event timeout are dropped "
             "unhandled).",
     .errors = {kErrWrongUsage, kErrTimerNotFound, kErrObjectNotFound},
     .example = "StartTimer(1)\n"
                "For frame = 1 To 25\n"
                "    Box(frame * 8, 10, 6, 6, $FFFF00)   ; draw a frame\n"
                "    WaitTimer(1, 20)   ; 50 frames a second, however long the drawing took\n"
                "Next"},
    {.name = "FileRequest", .synopsis = "file = FileRequest(title, pattern[, mode, path, file])",
     .arguments = {2, 5},
     .text = "Shows a file requester and returns the chosen file, or an empty string when the user cancels. "
             "mode is #REQ_NORMAL, #REQ_SAVEMODE or #REQ_MULTISELECT, which returns a list of the chosen "
             "files ending with an empty string; pattern filters the names shown.",
     .errors = {kErrWrongUsage, kErrCannotOpen}},
    {.name = "PathRequest", .synopsis = "path = PathRequest(title[, mode, path])", .arguments = {1, 3},
     .text = "Shows a requester for choosing a directory and returns it, or an empty string when the user "
             "cancels.",
     .errors = {kErrWrongUsage}},
    {.name = "IPairs", .synopsis = "iterator, list, start = IPairs(list[, index])", .arguments = {1, 2},
     .text = "Lets a For loop walk a list's items in order from index 0, stopping at the first Nil.",
     .example = "For i, v In IPairs({\"a\", \"b\"})\n"
                "    DebugPrint(i, v)\n"
                "Next"},
    {.name = "Pairs", .synopsis = "iterator, table, start = Pairs(table)", .arguments = {1, 1},
     .text = "Lets a For loop walk every key and value of a table, in no particular order."},
    {.name = "NextItem", .synopsis = "key, value = NextItem(table[, key])", .arguments = {1, 2},
     .text = "Returns the key and value that follow key in a table (the first pair when key is left out), "
             "or Nil at the end."},
    {.name = "GetVersion", .synopsis = "info = GetVersion([ignored])", .arguments = {0, 1},
     .text = "Returns a table describing the player: its name, version and date."},
    {.name = "GetCommandLine", .synopsis = "arguments, count, fromshell = GetCommandLine()",
     .arguments = {0, 0},
     .text = "Returns the arguments given to the program after the applet's name as a list (from index 0) of "
             "tables with the fields Arg and Param, their count, and True when the program was started from a "
             "shell. A word that starts with - or -- gives an entry whose Arg is the word without its dashes; "
             "the next word, unless it starts with a dash too, is its Param, else Param is \"\". Any other word "
             "gives an entry with Arg \"\" and the word as Param. So `game.vla save.dat -level 3 --mute` gives "
             "{Arg = \"\", Param = \"save.dat\"}, {Arg = \"level\", Param = \"3\"} and {Arg = \"mute\", Param "
             "= \"\"}. An equals sign is not split (--name=Bob gives Arg \"name=Bob\"), a lone - is a plain "
             "word, and a negative number after a name is an entry of its own (-n -5 gives Arg \"n\" and Arg "
             "\"5\")."},
    {.name = "GetProgramInfo", .synopsis = "type, name = GetProgramInfo()", .arguments = {0, 0},
     .text = "Returns how the program runs (#PRGTYPE_SCRIPT, #PRGTYPE_APPLET or #PRGTYPE_PROGRAM) and the "
             "name of its file."},
    {.name = "ResetTimer", .synopsis = "ResetTimer(id[, time])", .arguments = {1, 2},
     .text = "Sets a timer back to 0, or to time milliseconds.",
     .errors = {kErrTimerNotFound, kErrObjectNotFound}},
    {.name = "GetConstant", .synopsis = "value = GetConstant(name)", .arguments = {1, 1},
     .text = "Returns the value of a constant given by name as a string, such as \"#CROSSFADE\".",
     .errors = {kErrUnknownConstant}},
    {.name = "SetClipboard", .synopsis = "SetClipboard(type, data)", .arguments = {2, 2},
     .text = "Puts data on the clipboard: text with #CLIPBOARD_TEXT, a brush's picture with "
             "#CLIPBOARD_IMAGE. An image needs xclip (X11) or wl-clipboard (Wayland): without them it fails "
             "with 1361, and the player says once on standard error what is missing.",
     .errors = {kErrWrongUsage, kErrClipboardFormat}},
    {.name = "GetClipboard", .synopsis = "type, data = GetClipboard()", .arguments = {0, 0},
     .text = "Returns the kind of the clipboard's contents and, for text, the text."},
    {.name = "PeekClipboard", .synopsis = "type = PeekClipboard()", .arguments = {0, 0},
     .text = "Returns the kind of what the clipboard holds (#CLIPBOARD_EMPTY, #CLIPBOARD_TEXT, ...) without "
             "reading it."},
    {.name = "ClearClipboard", .synopsis = "ClearClipboard()", .arguments = {0, 0},
     .text = "Empties the clipboard."},
    {.name = "CompareDates", .synopsis = "result = CompareDates(date1, date2[, dateonly])",
     .arguments = {2, 3},
     .text = "Compares two dates in the form GetDate(True) returns: 0 when equal, 1 when date1 is later, 2 "
             "when date2 is later. With dateonly the times are ignored.",
     .errors = {kErrDateFormat}},
    {.name = "OpenURL", .synopsis = "OpenURL(url)", .arguments = {1, 1},
     .text = "Opens a web address in the user's browser.",
     .errors = {kErrCannotOpen}},
    {.name = "CopyTable", .synopsis = "copy = CopyTable(table)", .arguments = {1, 1},
     .text = "Returns a deep copy of a table: nested tables are copied too, keeping shared and circular "
             "references.",
     .errors = {kErrStackOverflow}},
    {.name = "GetIconProperties", .synopsis = "info = GetIconProperties(file)", .arguments = {1, 1},
     .text = "Reads a file's desktop icon (the .info file beside it) and returns its type, position, "
             "default tool and tool types as a table.",
     .errors = {kErrCannotReadFile}},
    {.name = "SetIconProperties", .synopsis = "SetIconProperties(file, type[, tooltypes, defaulttool])",
     .arguments = {2, 4},
     .text = "Writes a desktop icon for a file with the given type (#AMIGAICON_ constants), tool types and "
             "default tool.",
     .errors = {kErrInternalLimit, kErrWrongUsage}},
    {.name = "SetWBIcon", .synopsis = "SetWBIcon(file)", .arguments = {1, 1},
     .text = "Chooses the icon file the program shows when it is iconified."},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"SECONDS", "Wait: the time is in seconds."},
    {"MILLISECONDS", "Wait: the time is in milliseconds."},
    {"TICKS", "Wait: the time is in ticks of 1/50 second."},
    {"DATEYEAR", "GetDateNum: the year."},
    {"DATEMONTH", "GetDateNum: the month, 1 to 12."},
    {"DATEDAY", "GetDateNum: the day of the month."},
    {"DATETIME", "GetDateNum: the time of day as one number, hhmmss."},
    {"CHIPMEMORY", "GetMemoryInfo: graphics memory."},
    {"FASTMEMORY", "GetMemoryInfo: other memory."},
    {"NIL", "GetType: Nil."},
    {"STRING", "GetType: a string; as a width type, text."},
    {"LONG", "A 32-bit width (as #INTEGER)."},
    {"FLOAT", "A number width for memory blocks."},
    {"INTEGER", "A 32-bit width."},
    {"NUMBER", "GetType: a number."},
    {"FUNCTION", "GetType: a function."},
    {"TABLE", "GetType: a table."},
    {"USERDATA", "GetType: a userdata value."},
    {"LIGHTUSERDATA", "GetType: a handle."},
    {"THREAD", "GetType: a thread."},
    {"BYTE", "An 8-bit width."},
    {"SHORT", "A 16-bit width."},
    {"WORD", "A 16-bit width (as #SHORT)."},
    {"REQ_NORMAL", "FileRequest: choose a file to load."},
    {"REQ_MULTISELECT", "FileRequest: choose several files."},
    {"REQ_SAVEMODE", "FileRequest and PathRequest: choose a name to save under."},
    {"PRGTYPE_SCRIPT", "GetProgramInfo: run from a script."},
    {"PRGTYPE_APPLET", "GetProgramInfo: run from an applet file."},
    {"PRGTYPE_PROGRAM", "GetProgramInfo: a stand-alone program."},
    {"REQICON_NONE", "SystemRequest: no icon."},
    {"REQICON_INFORMATION", "SystemRequest: an information icon."},
    {"REQICON_ERROR", "SystemRequest: an error icon."},
    {"REQICON_WARNING", "SystemRequest: a warning icon."},
    {"REQICON_QUESTION", "SystemRequest: a question icon."},
    {"CLIPBOARD_EMPTY", "Clipboard: nothing."},
    {"CLIPBOARD_TEXT", "Clipboard: text."},
    {"CLIPBOARD_IMAGE", "Clipboard: a picture."},
    {"CLIPBOARD_SOUND", "Clipboard: a sound."},
    {"CLIPBOARD_UNKNOWN", "Clipboard: something else."},
    {"AMIGAICON_DISK", "Icon type: a disk."},
    {"AMIGAICON_DRAWER", "Icon type: a drawer (directory)."},
    {"AMIGAICON_TOOL", "Icon type: a program."},
    {"AMIGAICON_PROJECT", "Icon type: a document."},
    {"HKEY_CLASSES_ROOT", "Registry root (kept for compatibility; no effect on Linux)."},
    {"HKEY_CURRENT_CONFIG", "Registry root (kept for compatibility; no effect on Linux)."},
    {"HKEY_LOCAL_MACHINE", "Registry root (kept for compatibility; no effect on Linux)."},
    {"HKEY_USERS", "Registry root (kept for compatibility; no effect on Linux)."},
    {"HKEY_CURRENT_USER", "Registry root (kept for compatibility; no effect on Linux)."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kSystemReference;
const LibraryReference kSystemReference = {
    "The program itself: waiting and timers, dates, requesters, catalogs, the clipboard, table "
    "helpers, debugging output and error handling.",
    kCommandDocs, kConstantDocs};
