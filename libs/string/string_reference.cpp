// Reference rows of the string library: what tools/reference writes into docs/commands/string.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"FindStr", "pos = FindStr(s, search[, casesensitive, start])",
     "Returns the position of the first occurrence of search in s at or after start (default 0), or -1 "
     "when there is none. Pass False as casesensitive to ignore letter case.",
     nullptr, {kErrWrongUsage},
     "DebugPrint(FindStr(\"Hello World\", \"world\", False))   ; 6"},
    {"CountStr", "count = CountStr(s, search[, casesensitive, start])",
     "Returns how many times search occurs in s, counting occurrences that do not overlap.",
     nullptr, {kErrWrongUsage}},
    {"ReplaceStr", "result = ReplaceStr(s, search, replacement[, casesensitive, start])",
     "Returns s with every occurrence of search at or after start replaced by replacement.",
     nullptr, {kErrWrongUsage},
     "DebugPrint(ReplaceStr(\"a-b-c\", \"-\", \"+\"))   ; a+b+c"},
    {"InsertStr", "result = InsertStr(s, insertion, pos[, overwrite])",
     "Returns s with insertion placed at byte position pos; with overwrite set to True the inserted "
     "text replaces the bytes already there.",
     nullptr, {kErrWrongUsage}},
    {"SplitStr", "parts, count = SplitStr(s, separator)",
     "Splits s at every occurrence of the one-character separator and returns the pieces as a list "
     "(starting at index 0) with their count.",
     nullptr, {kErrWrongUsage},
     "Local parts, n = SplitStr(\"red,green,blue\", \",\")   ; parts[1] is \"green\", n is 3"},
    {"TrimStr", "result = TrimStr(s, char, fromright)",
     "Removes every leading copy of the one-character string char from s, or every trailing copy when "
     "fromright is True.",
     nullptr, {kErrWrongUsage}},
    {"LeftStr", "result = LeftStr(s, n)",
     "Returns the first n bytes of s (all of s when it is shorter)."},
    {"RightStr", "result = RightStr(s, n)",
     "Returns the last n bytes of s."},
    {"MidStr", "result = MidStr(s, start, length)",
     "Returns length bytes of s beginning at byte position start."},
    {"UnleftStr", "result = UnleftStr(s, n)",
     "Returns s without its last n bytes: what stays on the left.",
     nullptr, {kErrWrongUsage}},
    {"UnrightStr", "result = UnrightStr(s, n)",
     "Returns s without its first n bytes: what stays on the right.",
     nullptr, {kErrWrongUsage}},
    {"UnmidStr", "result = UnmidStr(s, start, length)",
     "Returns s with length bytes removed at position start.",
     nullptr, {kErrWrongUsage}},
    {"AddStr", "result = AddStr(a, b)",
     "Returns a followed by b, like the .. operator."},
    {"StrLen", "length = StrLen(s)",
     "Returns the length of s in bytes."},
    {"Asc", "code = Asc(s)",
     "Returns the code (0 to 255) of the first byte of s, or 0 for an empty string."},
    {"Chr", "s = Chr(code)",
     "Returns a one-byte string holding the character code, from 0 to 255.",
     nullptr, {kErrWrongUsage}},
    {"LowerStr", "result = LowerStr(s)",
     "Returns s in lower case (ISO-8859-1 letters)."},
    {"UpperStr", "result = UpperStr(s)",
     "Returns s in upper case (ISO-8859-1 letters)."},
    {"HexStr", "text = HexStr(n)",
     "Returns n as hexadecimal text with a leading \"$\", as in \"$FF\"."},
    {"BinStr", "text = BinStr(n[, type])",
     "Returns n as a string of 0 and 1 digits; type (#INTEGER, #SHORT or #BYTE) sets how many bits are "
     "shown (32 by default)."},
    {"PadNum", "text = PadNum(n, digits)",
     "Returns n as decimal text padded with leading zeros to at least digits characters (\"007\").",
     nullptr, {kErrWrongUsage}},
    {"StrStr", "text = StrStr(x[, digits])",
     "Returns the number x as decimal text with the given number of digits after the point (2 by "
     "default)."},
    {"Val", "value, used = Val(s)",
     "Reads a number at the start of s (decimal, or hexadecimal after \"$\" or \"0x\") and returns it "
     "together with the number of characters it used; 0 and 0 when s does not start with a number."},
    {"ToNumber", "value = ToNumber(s[, base])",
     "Converts text in the given base (2 to 36, default 10) to a number.",
     nullptr, {kErrWrongUsage},
     "DebugPrint(ToNumber(\"ff\", 16))   ; 255"},
    {"ToString", "text = ToString(value)",
     "Returns any value as text, as DebugPrint shows it."},
    {"StrToArray", "codes = StrToArray(s)",
     "Returns a list of the byte codes of s, one element per byte starting at index 0."},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kStringReference;
const LibraryReference kStringReference = {
    "Text: searching, cutting, joining and converting strings. Positions count bytes from 0.",
    kCommandDocs, nullptr};
