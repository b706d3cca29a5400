// Reference rows of the string library: what tools/reference writes into docs/commands/string.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "FindStr", .synopsis = "pos = FindStr(s, search[, casesensitive, start])",
     .arguments = {2, 4}, .display = false,
     .text = "Returns the position of the first occurrence of search in s at or after start (default 0), or "
             "-1 when there is none. Pass False as casesensitive to ignore the case of the letters LowerStr "
             "changes.",
     .errors = {kErrWrongUsage},
     .example = "DebugPrint(FindStr(\"Hello World\", \"world\", False))   ; 6"},
    {.name = "CountStr", .synopsis = "count = CountStr(s, search[, casesensitive, start])",
     .arguments = {2, 4}, .display = false,
     .text = "Returns how many times search occurs in s, counting occurrences that do not overlap.",
     .errors = {kErrWrongUsage}},
    {.name = "ReplaceStr", .synopsis = "result = ReplaceStr(s, search, replacement[, casesensitive, start])",
     .arguments = {3, 5}, .display = false,
     .text = "Returns s with every occurrence of search at or after start replaced by replacement.",
     .errors = {kErrWrongUsage},
     .example = "DebugPrint(ReplaceStr(\"a-b-c\", \"-\", \"+\"))   ; a+b+c"},
    {.name = "InsertStr", .synopsis = "result = InsertStr(s, insertion, pos[, overwrite])",
     .arguments = {3, 4}, .display = false,
     .text = "Returns s with insertion placed at byte position pos; with overwrite set to True the inserted "
             "text replaces the bytes already there.",
     .errors = {kErrWrongUsage}},
    {.name = "SplitStr", .synopsis = "parts, count = SplitStr(s, separator)",
     .arguments = {2, 2}, .display = false,
     .text = "Splits s at every occurrence of the one-character separator and returns the pieces as a list "
             "(starting at index 0) with their count.",
     .errors = {kErrWrongUsage},
     .example = "Local parts, n = SplitStr(\"red,green,blue\", \",\")   ; parts[1] is \"green\", n is 3"},
    {.name = "TrimStr", .synopsis = "result = TrimStr(s, char, fromright)",
     .arguments = {3, 3}, .display = false,
     .text = "Removes every leading copy of the one-character string char from s, or every trailing copy "
             "when fromright is True.",
     .errors = {kErrWrongUsage}},
    {.name = "LeftStr", .synopsis = "result = LeftStr(s, n)", .arguments = {2, 2}, .display = false,
     .text = "Returns the first n bytes of s (all of s when it is shorter)."},
    {.name = "RightStr", .synopsis = "result = RightStr(s, n)", .arguments = {2, 2}, .display = false,
     .text = "Returns the last n bytes of s."},
    {.name = "MidStr", .synopsis = "result = MidStr(s, start, length)", .arguments = {3, 3}, .display = false,
     .text = "Returns length bytes of s beginning at byte position start."},
    {.name = "UnleftStr", .synopsis = "result = UnleftStr(s, n)", .arguments = {2, 2}, .display = false,
     .text = "Returns s without its last n bytes: what stays on the left.",
     .errors = {kErrWrongUsage}},
    {.name = "UnrightStr", .synopsis = "result = UnrightStr(s, n)", .arguments = {2, 2}, .display = false,
     .text = "Returns s without its first n bytes: what stays on the right.",
     .errors = {kErrWrongUsage}},
    {.name = "UnmidStr", .synopsis = "result = UnmidStr(s, start, length)",
     .arguments = {3, 3}, .display = false,
     .text = "Returns s with length bytes removed at position start.",
     .errors = {kErrWrongUsage}},
    {.name = "AddStr", .synopsis = "result = AddStr(a, b)", .arguments = {2, 2}, .display = false,
     .text = "Returns a followed by b, like the .. operator."},
    {.name = "StrLen", .synopsis = "length = StrLen(s)", .arguments = {1, 1}, .display = false,
     .text = "Returns the length of s in bytes."},
    {.name = "Asc", .synopsis = "code = Asc(s)", .arguments = {1, 1}, .display = false,
     .text = "Returns the code (0 to 255) of the first byte of s, or 0 for an empty string."},
    {.name = "Chr", .synopsis = "s = Chr(code)", .arguments = {1, 1}, .display = false,
     .text = "Returns a one-byte string holding the character code, from 0 to 255.",
     .errors = {kErrWrongUsage}},
    {.name = "LowerStr", .synopsis = "result = LowerStr(s)", .arguments = {1, 1}, .display = false,
     .text = "Returns s in lower case: A to Z and the ISO-8859-1 letters U+00C0 to U+00DE (not U+00D7) become "
             "a to z and U+00E0 to U+00FE. In UTF-8 mode (SetDefaultEncoding(#ENCODING_UTF8)) these letters "
             "change as characters and every other character is kept; otherwise each byte is an ISO-8859-1 "
             "character."},
    {.name = "UpperStr", .synopsis = "result = UpperStr(s)", .arguments = {1, 1}, .display = false,
     .text = "Returns s in upper case: the letters LowerStr changes, the other way. U+00DF (sharp s) and U+00FF "
             "have no upper case and stay."},
    {.name = "HexStr", .synopsis = "text = HexStr(n)", .arguments = {1, 1}, .display = false,
     .text = "Returns n as hexadecimal text with a leading \"$\", as in \"$FF\"."},
    {.name = "BinStr", .synopsis = "text = BinStr(n[, type])", .arguments = {1, 2}, .display = false,
     .text = "Returns n as a string of 0 and 1 digits; type (#INTEGER, #SHORT or #BYTE) sets how many bits "
             "are shown (32 by default)."},
    {.name = "PadNum", .synopsis = "text = PadNum(n, digits)", .arguments = {2, 2}, .display = false,
     .text = "Returns n as decimal text padded with leading zeros to at least digits characters (\"007\").",
     .errors = {kErrWrongUsage, kErrOutOfMemory}},
    {.name = "StrStr", .synopsis = "text = StrStr(x[, digits])", .arguments = {1, 2}, .display = false,
     .text = "Returns the number x as decimal text with the given number of digits after the point (2 by "
             "default)."},
    {.name = "Val", .synopsis = "value, used = Val(s)", .arguments = {1, 1}, .display = false,
     .text = "Reads a number at the start of s (decimal, or hexadecimal after \"$\" or \"0x\") and returns "
             "it together with the number of characters it used; 0 and 0 when s does not start with a "
             "number."},
    {.name = "ToNumber", .synopsis = "value = ToNumber(s[, base])", .arguments = {1, 2}, .display = false,
     .text = "Converts text in the given base (2 to 36, default 10) to a number.",
     .errors = {kErrWrongUsage},
     .example = "DebugPrint(ToNumber(\"ff\", 16))   ; 255"},
    {.name = "ToString", .synopsis = "text = ToString(value)", .arguments = {1, 1}, .display = false,
     .text = "Returns any value as text, as DebugPrint shows it."},
    {.name = "StrToArray", .synopsis = "codes = StrToArray(s)", .arguments = {1, 1}, .display = false,
     .text = "Returns a list of the byte codes of s from index 0, followed by a 0: StrToArray(\"ab\") is {97, "
             "98, 0}, three elements."},
    {},
};

} // namespace

extern const LibraryReference kStringReference;
const LibraryReference kStringReference = {
    "Text: searching, cutting, joining and converting strings. Positions count bytes from 0.",
    kCommandDocs, nullptr};
