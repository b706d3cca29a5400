// The argument readers. Each raises its documented code with the argument number (or field name) as the error
// argument; the native-call boundary then applies the error policy.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/app/command.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"

namespace {

// The running command's reference row, or null (a command registered without one).
const CommandDoc *RunningDoc(VMState *vm) {
    const char *name = RunningCommandName(vm);
    return name ? FindCommandDoc(name) : nullptr;
}

// A command or function named as the script calls it: the row's spelling for a command.
std::string CalledName(const char *name) {
    const CommandDoc *doc = FindCommandDoc(name);
    return std::string(doc ? doc->name : name).append("()");
}

// A synopsis of several forms ("Collision(#BOX, ...) or Collision(#LAYER, ...)") split into its forms.
std::vector<std::string_view> SynopsisForms(std::string_view synopsis) {
    std::vector<std::string_view> forms;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < synopsis.size(); i++) {
        if (synopsis[i] == '(') depth++;
        else if (synopsis[i] == ')') depth--;
        else if (depth == 0 && synopsis.substr(i, 4) == " or ") {
            forms.push_back(synopsis.substr(start, i - start));
            start = i + 4;
        }
    }
    forms.push_back(synopsis.substr(start));
    return forms;
}

// Whether the form's first constant ("#BOX") stands where the call has that constant's value.
bool FormFits(VMState *vm, std::string_view form) {
    const size_t open = form.find('('), mark = form.find('#');
    if (open == std::string_view::npos || mark == std::string_view::npos || mark < open) return false;
    int argument = 1;
    for (size_t i = open; i < mark; i++) argument += form[i] == ',';
    size_t end = mark + 1;
    while (end < form.size() && (isalnum(static_cast<unsigned char>(form[end])) || form[end] == '_')) end++;
    const ConstantEntry *constant = FindConstant(std::string(form.substr(mark + 1, end - mark - 1)).c_str());
    double value = 0;
    return constant && !constant->string && ValueTypeAndNumber(vm, argument, &value) == TNUMBER &&
           value == constant->number;
}

// "the form is ...": of a command with several forms, the one its constant argument picks, else all of them.
std::string FormSentence(VMState *vm, const CommandDoc *doc) {
    std::string_view form = doc->synopsis;
    for (std::string_view candidate : SynopsisForms(doc->synopsis))
        if (FormFits(vm, candidate)) form = candidate;
    return std::string("the form is ").append(form).append(".");
}

// How many arguments came and the running command's form from its reference row ("" without a row): a call
// that left one out is no argument of the wrong type, so no argument number says which. When the last of them
// were every result of a call, that is said too, with the parentheses that pass its first result alone.
std::string ArgumentCountHint(VMState *vm, int count, bool tooMany = false) {
    const CommandDoc *doc = RunningDoc(vm);
    if (!doc || !doc->synopsis) return {};
    std::string hint = std::to_string(count).append(count == 1 ? " was" : " were").append(" given; ");
    hint.append(FormSentence(vm, doc));
    std::string source;
    const int spread = tooMany ? SpreadArgumentCount(vm, &source) : 0;
    if (spread > 1 && source == "...") {
        hint.append(" The last, ..., gave ").append(std::to_string(spread)).append(
            " values: write (...) to pass only the first.");
    } else if (spread > 1) {
        const std::string call = source.empty() ? std::string("a call") : CalledName(source.c_str());
        hint.append(" The last, ").append(call).append(", gave ").append(std::to_string(spread)).append(
            " results: write it in parentheses");
        if (!source.empty()) hint.append(", (").append(call, 0, call.size() - 1).append("...)),");
        hint.append(" to pass only its first.");
    }
    return hint;
}

// A refused value as a noun: "Nil", "a table", "the string \"beep\"" (a long one cut), "the number 5".
std::string DescribeValue(VMState *vm, int index) {
    switch (ValueType(vm, index)) {
    case TNIL: return "Nil";
    case TBOOLEAN: return "a boolean";
    case TLIGHTHANDLE: return "a handle";
    case TNUMBER: {
        char text[32];
        snprintf(text, sizeof text, "%.14g", VMToNumber(vm, index));
        return std::string("the number ").append(text);
    }
    case TSTRING: {
        constexpr size_t kShown = 40;
        size_t length = 0;
        const char *text = VMToString(vm, index, &length);
        size_t shown = length <= kShown ? length : kShown;
        while (shown < length && shown > 0 && (static_cast<uint8_t>(text[shown]) & 0xC0) == 0x80) shown--;
        return std::string("the string \"").append(text, shown).append(shown < length ? "...\"" : "\"");
    }
    case TTABLE: return "a table";
    case TFUNCTION: return "a function";
    default: return "a value of another kind";
    }
}

// What the running command was given where a type was refused, and its form: value is the refused value's stack
// index (0: no longer at hand), key the field it was read from (null: an argument).
std::string ArgumentTypeHint(VMState *vm, int value, const char *key) {
    const CommandDoc *doc = RunningDoc(vm);
    if (value != 0 && !key && ValueType(vm, value) == TNONE) return ArgumentCountHint(vm, GetTop(vm));
    const char *name = RunningCommandName(vm);
    if (!name) return {};
    std::string hint;
    if (value != 0) {
        hint = CalledName(name).append(" was given ").append(DescribeValue(vm, value));
        if (key) hint.append(" for \"").append(key).append("\"");
    }
    if (!doc || !doc->synopsis) return hint.empty() ? hint : hint.append(".");
    std::string form = FormSentence(vm, doc);
    if (hint.empty()) {
        form[0] = 'T';
        return form;
    }
    return hint.append("; ").append(form);
}

[[noreturn]] void RaiseForArgument(VMState *vm, int code, int n, int value, const char *key = nullptr) {
    SetErrorArgNumber(n);
    RaiseErrorWithHint(vm, code, ArgumentTypeHint(vm, value, key));
}

[[noreturn]] void RaiseForArgument(VMState *vm, int code, int n) { RaiseForArgument(vm, code, n, n); }

[[noreturn]] void RaiseForField(VMState *vm, int code, const char *field, int value) {
    SetErrorArgString(field);
    RaiseErrorWithHint(vm, code, ArgumentTypeHint(vm, value, field));
}

// A number, numeric string, boolean (1/0) or Nil (0) as a double; 0 when it is none of these.
bool ReadLooseNumber(VMState *vm, int index, double *out) {
    switch (ValueType(vm, index)) {
    case TNIL: *out = 0; return true;
    case TBOOLEAN: *out = ToBoolean(vm, index) ? 1 : 0; return true;
    case TNUMBER: *out = VMToNumber(vm, index); return true;
    case TSTRING:
        if (!IsNumber(vm, index)) return false;
        *out = VMToNumber(vm, index);
        return true;
    default: return false;
    }
}

// "N%" or a plain number in text; 0 or kErrInvalidPercent.
int ParsePercentText(const char *text, size_t length, double base, int allowOver100, double *out, int *isPercent) {
    if (isPercent) *isPercent = 0;
    if (length > 0 && text[length - 1] == '%') {
        double n = 0;
        if (!ParseNumber(text, length - 1, &n) || !(n >= 0) || (!allowOver100 && n > 100)) return kErrInvalidPercent;
        if (base == 0) {
            *out = n / 100;
            if (isPercent) *isPercent = 1;
        } else {
            *out = base * n / 100;
        }
        return 0;
    }
    double n = 0;
    if (!ParseNumber(text, length, &n)) return kErrInvalidPercent;
    *out = n;
    return 0;
}

} // namespace

void RaiseErrorWithString(VMState *vm, int code, std::string_view text) {
    SetErrorArgString(text);
    RaiseError(vm, code);
}

void RaiseErrorWithNumber(VMState *vm, int code, int64_t number) {
    SetErrorArgNumber(number);
    RaiseError(vm, code);
}

void (*ArgumentCountProbe)(int minimum, int maximum) = nullptr;

VMState *CheckArgCount(VMState *vm, int count, int minimum, int maximum) {
    if (ArgumentCountProbe) {
        ArgumentCountProbe(minimum, maximum);
        RaiseError(vm, kErrWrongUsage);
    }
    if (count < minimum) RaiseErrorWithHint(vm, kErrNotEnoughArguments, ArgumentCountHint(vm, count));
    if ((maximum > 0 && count > maximum) || (minimum == 0 && maximum == 0 && count > 0))
        RaiseErrorWithHint(vm, kErrTooManyArguments, ArgumentCountHint(vm, count, true));
    return vm;
}

int ArgumentTypeError(VMState *vm, int code, int n, int value, const char *key) {
    SetErrorArgNumber(n);
    return NoteErrorHint(code, ArgumentTypeHint(vm, value, key));
}

double CheckNumberArg(VMState *vm, int n) {
    double value = 0;
    int type = ValueTypeAndNumber(vm, n, &value);
    if (type == TNUMBER) [[likely]]
        return value;
    if (type == TNONE || !ReadLooseNumber(vm, n, &value)) RaiseForArgument(vm, kErrNumberExpected, n);
    return value;
}

double OptNumberArg(VMState *vm, int n, double fallback) {
    double value = 0;
    int type = ValueTypeAndNumber(vm, n, &value);
    if (type == TNUMBER) [[likely]]
        return value;
    if (type == TNONE) return fallback;
    if (type == TNIL || !ReadLooseNumber(vm, n, &value)) RaiseForArgument(vm, kErrNumberExpected, n);
    return value;
}

// No integer stands for NaN (Sqrt(-1) as a coordinate, size or id), so it is a usage error, not INT32_MIN.
static int32_t Int32OrRaise(VMState *vm, double value) {
    if (std::isnan(value)) RaiseError(vm, kErrWrongUsage);
    return SaturateToInt32(value);
}

int32_t CheckInt32Arg(VMState *vm, int n) { return Int32OrRaise(vm, CheckNumberArg(vm, n)); }

int32_t OptInt32Arg(VMState *vm, int n, int32_t fallback) {
    return ValueType(vm, n) == TNONE ? fallback : Int32OrRaise(vm, OptNumberArg(vm, n, 0));
}

uint32_t NumberToUnsigned(double value) {
    if (std::isnan(value)) return 0;
    if (value < 0) return static_cast<uint32_t>(SaturateToInt32(value)); // -1 -> 0xFFFFFFFF
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

uint32_t CheckUnsignedArg(VMState *vm, int n) { return NumberToUnsigned(CheckNumberArg(vm, n)); }

uint32_t OptUnsignedArg(VMState *vm, int n, uint32_t fallback) {
    return ValueType(vm, n) == TNONE ? fallback : NumberToUnsigned(OptNumberArg(vm, n, 0));
}

const char *CheckStringArg(VMState *vm, int n, size_t *length) {
    // Null exactly when the value is neither a string nor a number.
    size_t size = 0;
    const char *text = VMToString(vm, n, &size);
    if (text == nullptr) RaiseForArgument(vm, kErrStringExpected, n);
    // A caller without the length reads a C string (a file name, say): a zero byte inside would silently cut it
    // short and name something else.
    if (length) *length = size;
    else if (memchr(text, 0, size)) RaiseError(vm, kErrWrongUsage);
    return text;
}

const char *OptStringArg(VMState *vm, int n, const char *fallback, size_t *length) {
    if (ValueType(vm, n) == TNONE) {
        if (length) *length = fallback ? strlen(fallback) : 0;
        return fallback;
    }
    return CheckStringArg(vm, n, length);
}

void CheckTableArg(VMState *vm, int n) {
    if (ValueType(vm, n) != TTABLE) RaiseForArgument(vm, kErrTableExpected, n);
}

void CheckFunctionArg(VMState *vm, int n) {
    if (ValueType(vm, n) != TFUNCTION) RaiseForArgument(vm, kErrFunctionExpected, n);
}

double ReadNumberOrPercent(VMState *vm, int n, double base, int allowOver100, int *isPercent) {
    if (isPercent) *isPercent = 0;
    int type = ValueType(vm, n);
    if (type == TNUMBER) return VMToNumber(vm, n);
    if (type != TSTRING) RaiseForArgument(vm, kErrStringOrNumberExpected, n);
    size_t length = 0;
    const char *text = VMToString(vm, n, &length);
    double value = 0;
    if (ParsePercentText(text, length, base, allowOver100, &value, isPercent))
        RaiseForArgument(vm, kErrInvalidPercent, n);
    return value;
}

void ReadObjectId(ObjectId *out, VMState *vm, int n) {
    double value = 0;
    int type = ValueTypeAndNumber(vm, n, &value);
    if (type == TLIGHTHANDLE) {
        *out = ObjectId{0, ToHandle(vm, n)};
        return;
    }
    if (type != TNUMBER) value = CheckNumberArg(vm, n);
    *out = ObjectId{SaturateToInt32(value), nullptr};
}

ObjectId IdArg(VMState *vm, int n) {
    ObjectId id{};
    ReadObjectId(&id, vm, n);
    return id;
}

void OptIntegerArg(ObjectId *out, VMState *vm, int n) {
    int type = ValueType(vm, n);
    if (type == TNONE || type == TNIL) {
        *out = ObjectId{0, kAutoHandleRequest};
        return;
    }
    ReadObjectId(out, vm, n);
}

void ReadXYOptions(VMState *vm, int n, int32_t *x, int32_t *y) {
    *x = kNoPosition;
    *y = kNoPosition;
    if (n != GetTop(vm) || ValueType(vm, n) != TTABLE) return;
    GetTableOption(vm, n, "x", x);
    GetTableOption(vm, n, "y", y);
}

std::string FindLinkedFile(VMState *vm, const char *name, int fontFlag, int *linked) {
    std::string chunkName;
    if (int found = LinkedFileHook ? LinkedFileHook(vm, name, fontFlag, &chunkName) : 0) {
        // For a font, "linked" promises the linked-font header; a plain linked copy has none.
        if (linked) *linked = fontFlag ? found == 2 : 1;
        return chunkName;
    }
    if (linked) *linked = 0;
    return name;
}

std::string CheckFileNameArg(VMState *vm, int n, int fontFlag, int *linked) {
    return FindLinkedFile(vm, CheckStringArg(vm, n), fontFlag, linked);
}

double CheckNumberField(VMState *vm, int index, const char *field) {
    double value = 0;
    if (ReadLooseNumber(vm, index, &value)) return value;
    if (int n = ForwardedArgument(field)) RaiseForArgument(vm, kErrNumberExpected, n, index);
    RaiseForField(vm, kErrNumberFieldExpected, field, index);
}

const char *CheckStringField(VMState *vm, int index, const char *field, size_t *length) {
    int type = ValueType(vm, index);
    if (type == TSTRING || type == TNUMBER) return VMToString(vm, index, length);
    if (int n = ForwardedArgument(field)) RaiseForArgument(vm, kErrStringExpected, n, index);
    RaiseForField(vm, kErrStringFieldExpected, field, index);
}

const char *ToStringResult(VMState *vm, int index, size_t *length, int *error) {
    int type = ValueType(vm, index);
    if (type != TSTRING && type != TNUMBER) {
        if (length) *length = 0;
        if (error) *error = kErrCallbackStringExpected;
        return nullptr;
    }
    if (error) *error = 0;
    return VMToString(vm, index, length);
}

double ToNumberResult(VMState *vm, int index, int *error) {
    if (!IsNumber(vm, index)) {
        if (error) *error = kErrCallbackNumberExpected;
        return 0;
    }
    if (error) *error = 0;
    return VMToNumber(vm, index);
}

// ---- Option tables -------------------------------------------------------------------------------------------
namespace {

thread_local const ForwardedArguments *g_forwarded = nullptr;

} // namespace

ForwardedArguments::ForwardedArguments() : outer(g_forwarded) { g_forwarded = this; }
ForwardedArguments::~ForwardedArguments() { g_forwarded = outer; }

void ForwardedArguments::Add(const char *key, int argument) {
    if (count == kMaxFields) return;
    keys[count] = key;
    arguments[count++] = argument;
}

int ForwardedArgument(const char *key) {
    if (!g_forwarded || !key) return 0;
    for (int i = 0; i < g_forwarded->count; i++)
        if (strcmp(g_forwarded->keys[i], key) == 0) return g_forwarded->arguments[i];
    return 0;
}

namespace {

// A relative stack index stays valid while values are pushed above it only when made absolute first.
int AbsoluteIndex(VMState *vm, int index) {
    return (index < 0 && index > kRegistryIndex) ? GetTop(vm) + index + 1 : index;
}

// Pushes table[key]; returns false (and pops it) when it is Nil.
bool PushOption(VMState *vm, int table, const char *key) {
    NoteOptionKey(vm, key);
    RawGetField(vm, table, key);
    if (ValueType(vm, -1) == TNIL) {
        SetTop(vm, -2);
        return false;
    }
    return true;
}

int Given(VMState *vm, int *given) {
    SetTop(vm, -2);
    if (given) *given = 1;
    return 1;
}

} // namespace

int GetTableOption(VMState *vm, int table, const char *key, int32_t *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    *out = SaturateToInt32(CheckNumberField(vm, -1, key));
    return Given(vm, given);
}

int GetTableOptionUnsigned(VMState *vm, int table, const char *key, uint32_t *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    *out = NumberToUnsigned(CheckNumberField(vm, -1, key));
    return Given(vm, given);
}

int GetTableOptionNumber(VMState *vm, int table, const char *key, double *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    *out = CheckNumberField(vm, -1, key);
    return Given(vm, given);
}

int GetTableOptionString(VMState *vm, int table, const char *key, char *buffer, size_t size, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    size_t length = 0;
    const char *text = CheckStringField(vm, -1, key, &length);
    if (size > 0) {
        size_t copy = length < size - 1 ? length : size - 1;
        memcpy(buffer, text, copy);
        buffer[copy] = 0;
    }
    return Given(vm, given);
}

int GetTableOptionString(VMState *vm, int table, const char *key, std::string *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    size_t length = 0;
    const char *text = CheckStringField(vm, -1, key, &length);
    out->assign(text, length);
    return Given(vm, given);
}

int GetTableOptionFileName(VMState *vm, int table, const char *key, std::string *out, int fontFlag, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    *out = FindLinkedFile(vm, CheckStringField(vm, -1, key), fontFlag);
    return Given(vm, given);
}

int GetTableOptionObjectId(VMState *vm, int table, const char *key, ObjectId *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    if (ValueType(vm, -1) == TLIGHTHANDLE) *out = ObjectId{0, ToHandle(vm, -1)};
    else *out = ObjectId{SaturateToInt32(CheckNumberField(vm, -1, key)), nullptr};
    return Given(vm, given);
}

int GetTableOptionPercent(VMState *vm, int table, const char *key, double base, double *out, int *isPercent,
                          int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    if (ValueType(vm, -1) == TSTRING) {
        size_t length = 0;
        const char *text = VMToString(vm, -1, &length);
        if (ParsePercentText(text, length, base, 1, out, isPercent)) {
            if (const int n = ForwardedArgument(key)) RaiseForArgument(vm, kErrInvalidPercent, n, -1);
            RaiseForArgument(vm, kErrInvalidPercent, table, -1, key);
        }
    } else {
        if (isPercent) *isPercent = 0;
        *out = CheckNumberField(vm, -1, key);
    }
    return Given(vm, given);
}

int GetTableOptionLayerPos(VMState *vm, int table, const char *key, int32_t *out, int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    if (ValueType(vm, -1) == TSTRING) {
        const char *name = VMToString(vm, -1);
        int32_t position = 0;
        int error = LayerPositionHook ? LayerPositionHook(vm, name, &position) : kErrLayerNameNotFound;
        if (error) RaiseErrorWithString(vm, error, name);
        *out = position;
    } else {
        *out = SaturateToInt32(CheckNumberField(vm, -1, key));
    }
    return Given(vm, given);
}

int GetTableOptionMatrix(VMState *vm, int table, const char *key, double out[4], int *given) {
    table = AbsoluteIndex(vm, table);
    if (!PushOption(vm, table, key)) return 0;
    if (ValueType(vm, -1) != TTABLE) RaiseForArgument(vm, kErrTableExpected, table, -1, key);
    double values[4];
    const int first = ForwardedArgument(key);
    for (int i = 0; i < 4; i++) {
        RawGetIndex(vm, -1, i);
        if (ValueType(vm, -1) == TNIL) RaiseError(vm, kErrNotEnoughArguments);
        if (!ReadLooseNumber(vm, -1, &values[i])) {
            if (first) RaiseForArgument(vm, kErrNumberExpected, first + i, -1);
            RaiseForField(vm, kErrNumberFieldExpected, key, -1);
        }
        SetTop(vm, -2);
    }
    for (int i = 0; i < 4; i++) out[i] = values[i];
    return Given(vm, given);
}

std::string JoinArgumentsAsText(VMState *vm) {
    const int count = GetTop(vm);
    std::string line;
    for (int i = 1; i <= count; i++) {
        if (i > 1) line += ' ';
        GetGlobal(vm, "tostring");
        if (ValueType(vm, -1) == TFUNCTION) {
            PushValue(vm, i);
            CallFunction(vm, 1, 1);
        } else {
            // Without the string library only strings and numbers have a text of their own.
            SetTop(vm, -2);
            const int type = ValueType(vm, i);
            if (type == TSTRING || type == TNUMBER) PushValue(vm, i);
            else PushString(vm, type == TNIL ? "Nil" : "?");
        }
        size_t length = 0;
        if (const char *text = VMToString(vm, -1, &length)) line.append(text, length); // zero bytes inside are kept
        SetTop(vm, -2);
    }
    return line;
}
