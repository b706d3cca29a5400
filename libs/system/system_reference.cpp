// Reference rows of the system library: what tools/reference writes into docs/commands/system.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"Wait", "Wait(time[, unit])",
     "Pauses the script for a while; events such as intervals and handlers keep running meanwhile. The "
     "unit is #TICKS (fiftieths of a second, the default), #MILLISECONDS or #SECONDS.",
     nullptr, {},
     "Wait(500, #MILLISECONDS)"},
    {"OpenCatalog", "OpenCatalog(name[, version])",
     "Opens the message catalog of that name in the user's language, so GetCatalogString returns "
     "translated texts. Without a matching catalog the script's own texts are used; that is no error."},
    {"CloseCatalog", "CloseCatalog()",
     "Closes the open message catalog."},
    {"GetCatalogString", "text = GetCatalogString(id, default)",
     "Returns text number id of the open catalog, or default when no catalog is open or it lacks that "
     "text."},
    {"GetDate", "date = GetDate([long])",
     "Returns today's date as text; with long set to True it also holds the time, as \"07-Dec-2026 "
     "18:30:00\"."},
    {"GetTime", "time = GetTime([seconds])",
     "Returns the time of day as \"hh:mm\", or \"hh:mm:ss\" when seconds is True."},
    {"GetWeekday", "day = GetWeekday()",
     "Returns the name of the day of the week."},
    {"GetDateNum", "n = GetDateNum(part)",
     "Returns one part of today's date as a number: #DATEYEAR, #DATEMONTH (1 to 12), #DATEDAY or "
     "#DATETIME."},
    {"GetTimer", "ms = GetTimer(id)",
     "Returns the milliseconds that have passed on a timer since it was started or reset, not counting "
     "paused time.",
     nullptr, {kErrTimerNotFound, kErrObjectNotFound}},
    {"PauseTimer", "PauseTimer(id)",
     "Stops a timer from counting until ResumeTimer.",
     nullptr, {kErrTimerNotFound, kErrObjectNotFound}},
    {"ResumeTimer", "ResumeTimer(id)",
     "Lets a paused timer count on from where it stopped.",
     nullptr, {kErrTimerNotFound, kErrObjectNotFound}},
    {"StartTimer", "[handle =] StartTimer(id)",
     "Starts a timer counting from 0 (restarting it when it already exists). Nil as id returns a "
     "handle.",
     nullptr, {},
     "StartTimer(1)\n"
     "; ... work ...\n"
     "DebugPrint(\"took\", GetTimer(1), \"ms\")"},
    {"StopTimer", "StopTimer(id)",
     "Stops a timer and frees it.",
     nullptr, {kErrTimerNotFound, kErrObjectNotFound}},
    {"SystemRequest", "button = SystemRequest(title, text, buttons[, icon])",
     "Shows a message box and waits for the user. buttons names the buttons separated by \"|\"; the "
     "result is the number of the button chosen, counting from 1 and with the last button giving 0. "
     "icon is one of the #REQICON_ constants.",
     nullptr, {kErrOutOfMemory},
     "If SystemRequest(\"Quit\", \"Really quit?\", \"Yes|No\") == 1 Then End() EndIf"},
    {"GetMemoryInfo", "bytes = GetMemoryInfo(type)",
     "Returns the free memory of the kind #CHIPMEMORY or #FASTMEMORY, in bytes.",
     nullptr, {kErrWrongUsage}},
    {"End", "End()",
     "Ends the program once the current command returns, freeing everything it used."},
    {"GetErrorName", "message = GetErrorName(code)",
     "Returns the message of an error code, as GetLastError reports it."},
    {"Sort", "Sort(list[, compare])",
     "Sorts a list (from index 0) in place: numbers or strings in ascending order, or by the function "
     "compare(a, b), which returns True when a belongs before b.",
     nullptr, {kErrStackOverflow},
     "Local t = {3, 1, 2}\n"
     "Sort(t)   ; t is {1, 2, 3}"},
    {"DebugStr", "DebugStr(text)",
     "Prints a string to the debug output (the console), followed by a new line."},
    {"DebugVal", "DebugVal(value)",
     "Prints a value to the debug output, followed by a new line."},
    {"DebugPrint", "DebugPrint(value, ...)",
     "Prints its arguments to the debug output, separated by blanks and followed by a new line.",
     nullptr, {},
     "DebugPrint(\"score:\", score)"},
    {"ExitOnError", "ExitOnError(enable)",
     "With True (the start-up setting) an error stops the program with a message; with False a failing "
     "command only sets the code GetLastError returns and the script goes on.",
     nullptr, {},
     "ExitOnError(False)\n"
     "LoadBrush(1, \"maybe.png\")\n"
     "If GetLastError() <> 0 Then DebugPrint(\"no picture\") EndIf\n"
     "ExitOnError(True)"},
    {"GetLastError", "code = GetLastError()",
     "Returns the code of the last error a command raised while ExitOnError was off, or 0."},
    {"DebugOutput", "DebugOutput(enable)",
     "With True, prints the name of every command before it runs, to follow what a script does."},
    {"GetType", "type = GetType(value)",
     "Returns the type of a value: #NUMBER, #STRING, #TABLE, #FUNCTION, #NIL, #USERDATA, #LIGHTUSERDATA "
     "or #THREAD."},
    {"IIf", "result = IIf(condition, a, b)",
     "Returns a when condition is true and b otherwise. Both are evaluated before the call.",
     nullptr, {kErrWrongType}},
    {"InsertItem", "InsertItem(list, item[, position])",
     "Inserts item into a list before position, moving the later items up; without a position it "
     "appends."},
    {"RemoveItem", "item = RemoveItem(list[, position])",
     "Removes and returns the item at position, moving the later items down; without a position it "
     "removes the last."},
    {"ListItems", "count = ListItems(list)",
     "Returns the number of items in a list: the indices from 0 up to the first Nil."},
    {"StringRequest", "text = StringRequest(title, body[, default, type, maxlength, password])",
     "Asks the user to type a line of text and returns it. default is the starting text, type #ALL "
     "accepts any text and #NUMERICAL digits only, maxlength limits the length, and password hides what "
     "is typed.",
     nullptr, {kErrUserAbort, kErrWrongUsage}},
    {"Unpack", "a, b, ... = Unpack(list)",
     "Returns the items of a list as separate values, to pass them on as arguments.",
     nullptr, {kErrStackOverflow}},
    {"SetMetaTable", "table = SetMetaTable(table, metatable)",
     "Gives a table a metatable (or removes it with Nil), whose fields such as __index and __add change "
     "how the table behaves.",
     nullptr, {kErrProtectedMetatable, kErrTableOrNilExpected}},
    {"GetMetaTable", "metatable = GetMetaTable(value)",
     "Returns the metatable of a value, or Nil."},
    {"RawEqual", "same = RawEqual(a, b)",
     "Compares two values without calling their metatables' __eq."},
    {"RawGet", "value = RawGet(table, key)",
     "Reads a table field without calling its metatable's __index."},
    {"RawSet", "table = RawSet(table, key, value)",
     "Writes a table field without calling its metatable's __newindex."},
    {"GCInfo", "used, threshold = GCInfo()",
     "Returns the memory the script's values use, in kilobytes, and the amount at which the next "
     "garbage collection starts."},
    {"CollectGarbage", "CollectGarbage([threshold])",
     "Sets the threshold of the next garbage collection in kilobytes; 0 (the default) collects at once."},
    {"Error", "Error(message)",
     "Raises an error with the given message, as a failing command would.",
     nullptr, {kErrUserError}},
    {"WaitTimer", "WaitTimer(id, time[, reset])",
     "Waits until the timer reaches time milliseconds, then restarts it unless reset is False. Called "
     "once per frame it keeps a loop at a steady pace.",
     nullptr, {kErrWrongUsage, kErrTimerNotFound, kErrObjectNotFound},
     "StartTimer(1)\n"
     "Repeat\n"
     "    ; draw a frame\n"
     "    WaitTimer(1, 20)\n"
     "Until done"},
    {"FileRequest", "file = FileRequest(title, pattern[, mode, path, file])",
     "Shows a file requester and returns the chosen file, or an empty string when the user cancels. "
     "mode is #REQ_NORMAL, #REQ_SAVEMODE or #REQ_MULTISELECT, which returns a list of the chosen files "
     "ending with an empty string; pattern filters the names shown.",
     nullptr, {kErrWrongUsage}},
    {"PathRequest", "path = PathRequest(title[, mode, path])",
     "Shows a requester for choosing a directory and returns it, or an empty string when the user "
     "cancels.",
     nullptr, {kErrWrongUsage}},
    {"IPairs", "iterator, list, start = IPairs(list)",
     "Lets a For loop walk a list's items in order from index 0, stopping at the first Nil.",
     nullptr, {},
     "For i, v In IPairs({\"a\", \"b\"})\n"
     "    DebugPrint(i, v)\n"
     "Next"},
    {"Pairs", "iterator, table, start = Pairs(table)",
     "Lets a For loop walk every key and value of a table, in no particular order."},
    {"NextItem", "key, value = NextItem(table[, key])",
     "Returns the key and value that follow key in a table (the first pair when key is left out), or "
     "Nil at the end."},
    {"GetVersion", "info = GetVersion()",
     "Returns a table describing the player: its name, version and date."},
    {"GetCommandLine", "arguments, count, fromshell = GetCommandLine()",
     "Returns the arguments given to the program after the applet's name as a list of tables with the "
     "fields Arg (the name) and Param (its value), their count, and True when the program was started "
     "from a shell."},
    {"GetProgramInfo", "type, name = GetProgramInfo()",
     "Returns how the program runs (#PRGTYPE_SCRIPT, #PRGTYPE_APPLET or #PRGTYPE_PROGRAM) and the name "
     "of its file."},
    {"ResetTimer", "ResetTimer(id[, time])",
     "Sets a timer back to 0, or to time milliseconds.",
     nullptr, {kErrTimerNotFound, kErrObjectNotFound}},
    {"GetConstant", "value = GetConstant(name)",
     "Returns the value of a constant given by name as a string, such as \"#CROSSFADE\"."},
    {"SetClipboard", "SetClipboard(type, data)",
     "Puts data on the clipboard: text with #CLIPBOARD_TEXT.",
     nullptr, {kErrWrongUsage}},
    {"GetClipboard", "type, data = GetClipboard()",
     "Returns the kind of the clipboard's contents and, for text, the text."},
    {"PeekClipboard", "type = PeekClipboard()",
     "Returns the kind of what the clipboard holds (#CLIPBOARD_EMPTY, #CLIPBOARD_TEXT, ...) without "
     "reading it."},
    {"ClearClipboard", "ClearClipboard()",
     "Empties the clipboard."},
    {"CompareDates", "result = CompareDates(date1, date2[, dateonly])",
     "Compares two dates in the form GetDate(True) returns: 0 when equal, 1 when date1 is later, 2 when "
     "date2 is later. With dateonly the times are ignored.",
     nullptr, {kErrDateFormat}},
    {"OpenURL", "OpenURL(url)",
     "Opens a web address in the user's browser."},
    {"CopyTable", "copy = CopyTable(table)",
     "Returns a deep copy of a table: nested tables are copied too, keeping shared and circular "
     "references."},
    {"GetIconProperties", "info = GetIconProperties(file)",
     "Reads a file's desktop icon (the .info file beside it) and returns its type, position, default "
     "tool and tool types as a table."},
    {"SetIconProperties", "SetIconProperties(file, type[, tooltypes, defaulttool])",
     "Writes a desktop icon for a file with the given type (#AMIGAICON_ constants), tool types and "
     "default tool.",
     nullptr, {kErrInternalLimit, kErrWrongUsage}},
    {"SetWBIcon", "SetWBIcon(file)",
     "Chooses the icon file the program shows when it is iconified."},
    {nullptr, nullptr, nullptr},
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
