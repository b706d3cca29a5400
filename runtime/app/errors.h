// The one table of numbered error messages, the error arguments that fill "%s" and "%ld", and the formats of the
// final error report. Codes 1000..1427 are the program-wide codes, 1428..1499 the runtime's own additions and
// 1500 up the VM's own (their texts are listed here as well).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct VMState;

// ---- Named codes (the full list lives in the table; these are the ones code refers to) ------------------------
constexpr int kErrOutOfMemoryCode = 1000; // the VM header names it kErrOutOfMemory
constexpr int kErrUserAbortCode = 1003;
constexpr int kErrWriteFailed = 1005;
constexpr int kErrReadFailed = 1009;
constexpr int kErrNotEnoughArguments = 1014;
constexpr int kErrGeneralSyntax = 1018;
constexpr int kErrWrongDataType = 1019;
constexpr int kErrValueExpected = 1024;
constexpr int kErrCannotOpen = 1025;
constexpr int kErrObjectNotFound = 1041;
constexpr int kErrLockDirectory = 1043;
constexpr int kErrCannotReadFile = 1045;
constexpr int kErrCannotWriteFile = 1052;
constexpr int kErrWrongUsage = 1055;
constexpr int kErrFontOpen = 1064;
constexpr int kErrInternalLimitCode = 1066;
constexpr int kErrCreateDirectory = 1084;
constexpr int kErrDivisionByZeroCode = 1089;
constexpr int kErrUnknownErrorCode = 1091;
constexpr int kErrStackOverflowCode = 1135;
constexpr int kErrNumberExpected = 1138;
constexpr int kErrStringExpected = 1139;
constexpr int kErrTableExpected = 1140;
constexpr int kErrReadOnlyFile = 1141;
constexpr int kErrWriteOnlyFile = 1142;
constexpr int kErrDeleteFile = 1143;
constexpr int kErrExamine = 1144;
constexpr int kErrRenameFile = 1145;
constexpr int kErrOffsetOutOfRange = 1146;
constexpr int kErrBrushNotFound = 1174;
constexpr int kErrTextObjectNotFound = 1175;
constexpr int kErrAnimNotFound = 1176;
constexpr int kErrBGPicNotFound = 1177;
constexpr int kErrSampleNotFound = 1178;
constexpr int kErrFileHandleNotFound = 1179;
constexpr int kErrMemoryBlockNotFound = 1180;
constexpr int kErrTimerNotFound = 1181;
constexpr int kErrMoveQueueNotFound = 1182;
constexpr int kErrStringOrNumberExpected = 1183;
constexpr int kErrInvalidPercent = 1184;
constexpr int kErrFunctionExpected = 1185;
constexpr int kErrButtonNotFound = 1188;
constexpr int kErrNumberFieldExpected = 1189;
constexpr int kErrCallbackNumberExpected = 1190;
constexpr int kErrTooManyArguments = 1193;
constexpr int kErrIntervalNotFound = 1194;
constexpr int kErrTimeoutNotFound = 1195;
constexpr int kErrNotAnApplet = 1211;
constexpr int kErrCompileNotPossible = 1212;
constexpr int kErrSpriteNotFound = 1219;
constexpr int kErrMusicNotFound = 1231;
constexpr int kErrTableOrNilExpected = 1237;
constexpr int kErrProtectedMetatable = 1238;
constexpr int kErrUserError = 1239; // the message is the error argument text (Error command)
constexpr int kErrReadBeyondEnd = 1242;
constexpr int kErrLengthExceedsString = 1245;
constexpr int kErrStringFieldExpected = 1247;
constexpr int kErrNotADirectory = 1250;
constexpr int kErrSetAttributes = 1282;
constexpr int kErrSetDate = 1283;
constexpr int kErrSetComment = 1284;
constexpr int kErrDateFormat = 1285;
constexpr int kErrLockFailed = 1286;
constexpr int kErrCallbackStringExpected = 1259;
constexpr int kErrDirectoryHandleNotFound = 1318;
constexpr int kErrInvalidBase64 = 1323;
constexpr int kErrNotUserFunctionCode = 1324;
constexpr int kErrFontNotFound = 1334;
constexpr int kErrDisplayNotFound = 1344;
constexpr int kErrImageUnknownFormat = 1358;
constexpr int kErrInvalidSortFunction = 1362;
constexpr int kErrLayerOutOfRange = 1081;
constexpr int kErrLayerNameNotFound = 1369;
constexpr int kErrNameTooLong = 1373;
// The runtime's own additions (the VM's, 1500 up, are named in runtime/vm/vm.h).
constexpr int kErrNotAvailableYet = 1491;  // "%s" = the command's name

// ---- The table -----------------------------------------------------------------------------------------------
// The raw message of a code ("%s"/"%ld" unfilled), or null when the table has no text for it.
const char *FindErrorMessage(int code);
// How many codes have a known text (tests).
size_t ErrorMessageCount();

// ---- Error arguments -----------------------------------------------------------------------------------------
// The text for "%s" of the next message. Grows as needed; a message shows at most kErrorArgShownBytes of it,
// cut at a UTF-8 character boundary.
constexpr size_t kErrorArgShownBytes = 4096;
void SetErrorArgString(const char *text);
void SetErrorArgString(std::string_view text);
void SetErrorArgNumber(int64_t number);
const std::string &ErrorArgString();
int64_t ErrorArgNumber();
// Sets the argument(s) and raises: the usual way a handler fails with a "%s"/"%ld" message.
[[noreturn]] void RaiseErrorWithString(VMState *vm, int code, std::string_view text);
[[noreturn]] void RaiseErrorWithNumber(VMState *vm, int code, int64_t number);

// The message of a code filled with the current error arguments. 1064 and 1239 show the argument text whole (up
// to the shown limit); a code without a known text gets "Error <code> (no message available)!".
std::string GetErrorText(int code);
// The same into a caller's buffer (always terminated, cut at a character boundary); returns the length written.
size_t GetErrorText(VMState *vm, int code, char *buffer, size_t size);

// A handler whose command is not built yet returns this: sets the command name as the error argument and gives
// kErrNotAvailableYet.
int CommandNotAvailable(const char *commandName);

// ---- Failures at shutdown ------------------------------------------------------------------------------------
// A library's free-all that cannot finish its work (a file that cannot be flushed) notes the error and the name
// it concerns; the player reports every noted failure after the free-alls and exits with the error status.
void NoteShutdownFailure(int code, const char *origin);
// The noted failures as report lines ("origin: message\n"), cleared.
std::string TakeShutdownFailures();

// ---- Report formats ------------------------------------------------------------------------------------------
// "%s:%d: %s\n" (file, line, message), or "%s: %s\n" (origin, message) when no file is known (null or empty).
std::string FormatErrorReport(const char *file, int line, const char *origin, const char *message);
// "%s\n%s: %s (%s: %d)": message, "File", file, "current line", line.
std::string FormatErrorWithPosition(const char *message, const char *file, int line);

// ---- Error policy --------------------------------------------------------------------------------------------
// The VM's ErrorPolicyHook: raise (1) when the exit-on-error switch is on or ExitOnErrorCount > 0; otherwise
// record the code in LastErrorCode and swallow it (0). InitRuntimeSupport installs it.
int ApplyErrorPolicy(VMState *vm, int code);
