// The one table of numbered error messages, the error arguments that fill "%s" and "%ld", and the formats of the
// final error report. Codes 1000..1427 are the program-wide codes, 1428..1499 the runtime's own additions and
// 1500 up the VM's own (their texts are listed here as well).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/vm/vm.h"

// ---- The error list ------------------------------------------------------------------------------------------
// Every numbered error once, sorted by code. X(code, Name, "message") names kErrName; V(Name, "message") gives the
// text of a code the VM names itself (runtime/vm/vm.h). The texts are used as written, "%s" and "%ld" filled from
// the error arguments; UserError's text is the argument itself (the Error command).
#define VL_ERRORS(X, V)                                                                                         \
    V(OutOfMemory, "Out of memory!")                                                                         \
    V(UserAbort, "User abort!")                                                                              \
    X(1005, WriteFailed, "Could not write all characters to file!\nCheck if there is enough free space!")    \
    X(1009, ReadFailed, "Could not read all characters from file!\nCheck if it is read protected!")          \
    X(1014, NotEnoughArguments, "Not enough arguments!")                                                     \
    X(1018, GeneralSyntax, "General syntax error!")                                                          \
    V(WrongType, "Wrong data type specified!")                                                               \
    X(1024, ValueExpected, "Value expected!")                                                                \
    X(1025, CannotOpen, "Cannot open %s !")                                                                  \
    V(ReturnWithoutGosub, "Return without Gosub!")                                                           \
    X(1041, ObjectNotFound, "Requested object not found!")                                                   \
    X(1043, LockDirectory, "Error locking directory!")                                                       \
    X(1045, CannotReadFile, "Cannot read file %s !")                                                         \
    X(1052, CannotWriteFile, "Cannot write to file %s !")                                                    \
    X(1055, WrongUsage, "Wrong usage/parameters for this command!\nRead the documentation!")                 \
    X(1056, SelectBGPicActive, "This command cannot be used when SelectBGPic() is active!")                  \
    X(1063, CannotLoadAnim, "Cannot load animation! Make sure that you got at least\n"                       \
      "version 40 of animation.datatype and realtime.library!")                                              \
    X(1064, FontOpen, "Cannot open font %s with size %ld!")                                                  \
    X(1065, CannotLoadSample, "Cannot load sample %s !")                                                     \
    V(InternalLimit, "Internal limit encountered! Contact the author...")                                    \
    X(1070, GeneralAudio, "General AHI error!")                                                              \
    X(1076, InvalidSeek, "Invalid seek position specified!")                                                 \
    X(1078, LayersRequired, "This function requires enabled layers!")                                        \
    X(1081, LayerOutOfRange, "Specified layer is out of range!")                                             \
    X(1082, SelectBrushActive, "This command cannot be used when SelectBrush() is active!")                  \
    X(1084, CreateDirectory, "Error creating directory %s !")                                                \
    X(1085, ChangeDisplaySize, "Unable to change display size to %s !")                                      \
    X(1086, BGPicWithDesktop, "You cannot specify an initial BGPic together with DISPLAYDESKTOP!")           \
    V(DivisionByZero, "Division by zero!")                                                                   \
    X(1091, UnknownErrorCode, "Unknown error code!")                                                         \
    X(1094, AnimFrameRange, "Specified animation frame is out of range!")                                    \
    X(1108, BracketExpected, "Closing square bracket expected!")                                             \
    V(StackOverflow, "Stack overflow!")                                                                      \
    X(1138, NumberExpected, "Number expected in argument %ld!")                                              \
    X(1139, StringExpected, "String expected in argument %ld!")                                              \
    X(1140, TableExpected, "Table expected in argument %ld!")                                                \
    X(1141, ReadOnlyFile, "File was opened in read-only mode!")                                              \
    X(1142, WriteOnlyFile, "File was opened in write-only mode!")                                            \
    X(1143, DeleteFile, "Could not delete file!")                                                            \
    X(1144, Examine, "Could not examine %s!")                                                                \
    X(1145, RenameFile, "Could not rename file!")                                                            \
    X(1146, OffsetOutOfRange, "Specified offset is out of range!")                                           \
    X(1147, SelectMaskActive, "This command cannot be used when SelectMask() is active!")                    \
    X(1149, ActiveBrush, "Attempt to modify the active brush!")                                              \
    X(1152, CouldNotLockBitmap, "Could not lock bitmap!")                                                    \
    X(1154, NegativeCoordinate, "Negative coordinates are not allowed here!")                                \
    X(1155, NotAnimLayer, "Specified layer is not an anim layer!")                                           \
    X(1156, BrushSizeMismatch, "Brush size does not match specified arguments!")                             \
    X(1161, LayerNameTaken, "Layer name was already assigned!")                                              \
    X(1162, LayersMustBeOff, "Layers must be turned off when using this function!")                          \
    X(1163, LayersDuringOffscreen, "Layers cannot be turned on/off while off-screen rendering is active!")   \
    X(1167, SelectAlphaChannelActive, "This command cannot be used when SelectAlphaChannel() is active!")    \
    X(1174, BrushNotFound, "Could not find brush %ld!")                                                      \
    X(1175, TextObjectNotFound, "Could not find text object %ld!")                                           \
    X(1176, AnimNotFound, "Could not find anim %ld!")                                                        \
    X(1177, BGPicNotFound, "Could not find BGPic %ld!")                                                      \
    X(1178, SampleNotFound, "Could not find sample %ld!")                                                    \
    X(1179, FileHandleNotFound, "Could not find file handle %ld!")                                           \
    X(1180, MemoryBlockNotFound, "Could not find memory block %ld!")                                         \
    X(1181, TimerNotFound, "Could not find timer %ld!")                                                      \
    X(1182, MoveQueueNotFound, "Could not find move queue %ld!")                                             \
    X(1183, StringOrNumberExpected, "String or number expected in argument %ld!")                            \
    X(1184, InvalidPercent, "Invalid percent format in argument %ld!")                                       \
    X(1185, FunctionExpected, "Function expected in argument %ld!")                                          \
    X(1188, ButtonNotFound, "Could not find button %ld!")                                                    \
    X(1189, NumberFieldExpected, "Number expected in table argument \"%s\"!")                                \
    X(1190, CallbackNumberExpected, "Callback function was expected to return a number!")                    \
    X(1191, NoActiveBGPic, "A BGPic needs to be active while calling button functions!")                     \
    X(1193, TooManyArguments, "Too many arguments for this function!")                                       \
    X(1194, IntervalNotFound, "Could not find interval function %ld!")                                       \
    X(1195, TimeoutNotFound, "Could not find timeout function %ld!")                                         \
    X(1196, SampleToSoundCard, "Error loading sample to sound card!")                                        \
    X(1211, NotAnApplet, "%s is no Vistaloom applet!")                                                       \
    X(1212, CompileNotPossible, "Compilation is not possible with VistaloomPlayer!")                         \
    X(1217, CoordinatesOutOfRange, "Specified coordinates are out of range!")                                \
    X(1218, SizeNotPositive, "Width/height values must be greater than 0!")                                  \
    X(1219, SpriteNotFound, "Could not find sprite %ld!")                                                    \
    X(1220, SpriteNotOnScreen, "Sprite %ld is not on screen!")                                               \
    X(1223, MaskAndAlphaChannel, "Mask and alpha channel are mutually exclusive!")                           \
    X(1224, RemoveSpritesFirst, "Please remove all sprites first!")                                          \
    X(1227, SpriteOnScreen, "Cannot modify a sprite that is on screen!")                                     \
    X(1228, LinkedSprite, "Cannot modify a linked sprite!")                                                  \
    X(1229, EndDoubleBufferFirst, "Please end double buffering first!")                                      \
    X(1230, DoubleBufferTransparent, "Double buffering is currently not supported for transparent displays!") \
    X(1231, MusicNotFound, "Could not find music %ld!")                                                      \
    X(1232, MusicNotPlaying, "Music %ld is not currently playing!")                                          \
    X(1233, SeekRange, "Specified seek position is out of range!")                                           \
    X(1235, UnknownMusicFormat, "Unknown music format!")                                                     \
    X(1236, MusicUnsupported, "Music format does not support this function!")                                \
    X(1237, TableOrNilExpected, "Table or Nil expected!")                                                    \
    X(1238, ProtectedMetatable, "Cannot change a protected metatable!")                                      \
    X(1239, UserError, "%s")                                                                                 \
    X(1240, AddTask, "Error adding task to the system!")                                                     \
    X(1241, SetupTask, "Error setting up task! (%s)")                                                        \
    X(1242, ReadBeyondEnd, "Cannot read beyond end of file!")                                                \
    X(1244, DoubleBufferNotActive, "Double buffering mode is not currently active!")                         \
    X(1245, LengthExceedsString, "Specified length exceeds string length!")                                  \
    X(1246, GfxCache, "An error occurred while processing the gfx cache!")                                   \
    X(1247, StringFieldExpected, "String expected in table argument \"%s\"!")                                \
    X(1250, NotADirectory, "%s is not a directory!")                                                         \
    X(1251, TagUnknown, "Text format tag after square bracket not recognized!")                              \
    X(1252, TagSyntax, "Syntax error in text format specification!")                                         \
    X(1253, TagArguments, "Not enough arguments to this text format tag!")                                   \
    X(1255, NoAntiAlias, "This font type does not support anti-aliased output!")                             \
    X(1256, MessagePort, "Could not create message port!")                                                   \
    X(1257, RexxServer, "ARexx server is not running!")                                                      \
    X(1258, RexxFailed, "Rexx interpreter returned an error! (%s)")                                          \
    X(1259, CallbackStringExpected, "Callback function was expected to return a string!")                    \
    X(1260, PortExists, "There is already a port with the name %s!")                                         \
    X(1264, MusicNotPaused, "This music is not in pause state!")                                             \
    X(1270, AnimFrameLoad, "Error loading animation frame!")                                                 \
    X(1275, PortNotFound, "Port \"%s\" could not be found!")                                                 \
    X(1279, StreamNotSample, "Cannot load audio stream as a sample!")                                        \
    X(1282, SetAttributes, "Error setting file attributes!")                                                 \
    X(1283, SetDate, "Error setting file date!")                                                             \
    X(1284, SetComment, "Error setting file comment!")                                                       \
    X(1285, DateFormat, "Invalid date format specification!")                                                \
    X(1286, LockFailed, "Error locking %s!")                                                                 \
    X(1289, NoAudioChannel, "Could not allocate audio channel for this sound!")                              \
    X(1298, AllocSemaphore, "Error allocating semaphore object!")                                            \
    X(1299, SampleBits, "Vistaloom currently only supports 8 or 16 bit sounds!")                             \
    X(1302, SetupMessagePort, "Error setting up message port!")                                              \
    X(1306, ZlibIo, "A zlib IO error occurred!")                                                             \
    X(1307, ZlibStream, "A zlib stream error occurred!")                                                     \
    X(1308, ZlibVersion, "Invalid zlib version detected!")                                                   \
    X(1309, ZlibData, "Invalid or incomplete deflate data (zlib)!")                                          \
    X(1310, UnknownCompression, "Unknown compression format!")                                               \
    X(1312, AutoscaleWithDesktop, "Autoscale cannot be used together with DisplayDesktop!")                  \
    X(1313, LayersWithScaling, "Layers cannot be disabled when the layer scaling engine is used!")           \
    X(1314, ObjectLocked, "Cannot modify object while it is locked!")                                        \
    X(1318, DirectoryHandleNotFound, "Could not find directory handle %ld!")                                 \
    X(1319, NoMusicPlaying, "Music is not currently playing!")                                               \
    X(1322, NoFunctionHere, "Cannot find Vistaloom function at this offset!")                                \
    X(1323, InvalidBase64, "Invalid Base64 encoding!")                                                       \
    V(NotUserFunction, "Specified function is not a user function!")                                         \
    X(1325, SpriteHandleNotOnScreen, "Sprite is not on screen!")                                             \
    X(1328, NoTableHere, "Cannot find Vistaloom table at this offset!")                                      \
    X(1329, LayerModeDuringAsyncDraw, "Cannot switch layer mode while async draw is active!")                \
    X(1334, FontNotFound, "Could not find font %ld!")                                                        \
    X(1335, FontIsFile, "Font specification must not be a file!")                                            \
    X(1337, CoordinateConstant, "You cannot use coordinate constants here!")                                 \
    X(1338, DiskAnim, "This function cannot be used with disk-based animations!")                            \
    X(1339, SelectAnimActive, "This command cannot be used when SelectAnim() is active!")                    \
    X(1340, ActiveAnim, "Attempt to modify the active anim!")                                                \
    X(1341, AnimStreamNotFound, "Could not find anim stream %ld!")                                           \
    X(1344, DisplayNotFound, "Could not find display %ld!")                                                  \
    X(1345, SharedBGPic, "Cannot use the a single BGPic for multiple displays!")                             \
    X(1346, FreeActiveDisplay, "Cannot free the active display!")                                            \
    X(1347, DisplayClosed, "Cannot use this function while display is closed!")                              \
    X(1350, ColorResolution, "Cannot switch display mode because of different color resolution!")            \
    X(1356, AnimUnknownFormat, "Animation file \"%s\" is in an unknown/unsupported format!")                 \
    X(1357, SampleUnknownFormat, "Sample file \"%s\" is in an unknown/unsupported format!")                  \
    X(1358, ImageUnknownFormat, "Image file \"%s\" is in an unknown/unsupported format!")                    \
    X(1360, AppWindow, "Error adding app window to Workbench!")                                              \
    X(1361, ClipboardFormat, "Unknown data format in clipboard!")                                            \
    X(1362, InvalidSortFunction, "Invalid order function for sorting!")                                      \
    X(1366, ResizeDisplayBGPic, "Cannot change size of a BGPic that is selected into a display!")            \
    X(1367, SelectBGPicDisplay, "You need to select the BGPic's display before modifying the BGPic!")        \
    X(1369, LayerNameNotFound, "Cannot find layer \"%s\" in current BGPic!")                                 \
    X(1370, InvalidInsertPosition, "Invalid insert position specified!")                                     \
    X(1371, LayerHasAsyncDraw, "Specified layer already has an async draw object attached!")                 \
    X(1372, LayerUsedByAsyncDraw, "Cannot remove layer while it is used by an async draw object!")           \
    X(1373, NameTooLong, "Specified name is too long!")                                                      \
    X(1377, DisplayBGPicGraphics, "Cannot modify the graphics of a BGPic associated with a display!")        \
    X(1378, ActiveOutputBGPic, "Attempt to modify the BGPic currently selected as output device!")           \
    X(1380, DisplayHasAsyncDraw, "Cannot free display before associated async draw objects have been freed!") \
    X(1381, LinkFromLink, "Cannot create sprite link from sprite link!")                                     \
    X(1382, SpriteSizesDiffer, "Specified sprites must have the same dimensions!")                           \
    X(1383, BrushFullyTransparent, "Cannot trim brush because it is fully transparent!")                     \
    X(1385, JoystickAcquire, "Cannot acquire joystick!")                                                     \
    X(1386, FreetypeInit, "Error initializing freetype2!")                                                   \
    X(1388, BrushTypeUnsupported, "This operation is not supported by the specified brush type!")            \
    X(1390, BGPicTypeUnsupported, "This operation is not supported by the specified BGPic type!")            \
    X(1391, TransformedVectorBrush, "Cannot convert a transformed vector brush into a BGPic!")               \
    X(1392, TransformedVectorBGPic, "Cannot convert a transformed vector BGPic into a brush!")               \
    X(1404, LayerAsyncDrawRender, "Cannot render layer because it is attached to async draw object!")        \
    X(1427, JoystickPort, "No joystick found at specified game port!")                                       \
    /* The runtime's own. */                                                                                 \
    X(1428, ClipRegionNotFound, "Could not find clip region %ld!")                                           \
    X(1429, PointerNotFound, "Could not find pointer %ld!")                                                  \
    X(1430, ScreenUnreadable, "Cannot read the screen: %s!")                                                 \
    X(1431, LibraryNotRegistered, "This command needs the %s library, which is not registered!")            \
    X(1491, NotAvailableYet, "Command %s() is not available yet!")                                           \
    /* The VM's own (1500 up). */                                                                            \
    V(GosubOutsideMain, "A label jump was requested outside the main chunk!")                                \
    V(GosubTarget, "Label jump target is not a label!")                                                      \
    V(BadCommandResult, "Command returned an invalid result count!")                                         \
    V(BadStackIndex, "Invalid stack index!")                                                                 \
    V(CallNonFunction, "Attempt to call a non-function value!")                                              \
    V(IndexNonTable, "Attempt to index a non-table value!")                                                  \
    V(ChunkSignature, "Not a Vistaloom bytecode chunk!")                                                     \
    V(ChunkByteOrder, "Bytecode chunk has a different byte order!")                                          \
    V(ChunkSizes, "Bytecode chunk was made with different sizes!")                                           \
    V(ChunkNumberFormat, "Bytecode chunk has a different number format!")                                    \
    V(ChunkVersion, "Bytecode chunk has an unsupported format version!")                                     \
    V(ChunkTruncated, "Bytecode chunk is truncated!")                                                        \
    V(BadChunk, "Bytecode chunk is corrupt!")                                                                \
    V(UnknownConstant, "Unknown constant %s!")                                                               \
    V(BadNextKey, "Invalid key for NextItem()!")                                                             \
    V(BadTableKey, "Table index is Nil or NaN!")                                                             \
    V(MetaLoop, "Metatable chain too long in __index or __newindex!")

#define VL_ERROR_NAME(code, name, text) constexpr int kErr##name = code;
#define VL_ERROR_VM_NAME(name, text)
VL_ERRORS(VL_ERROR_NAME, VL_ERROR_VM_NAME)
#undef VL_ERROR_NAME
#undef VL_ERROR_VM_NAME

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
// Raises code with a hint that the report puts after the table's text (ScriptErrorMessage): what exactly was
// refused and what to write instead, where the general text names neither.
[[noreturn]] void RaiseErrorWithHint(VMState *vm, int code, const std::string &hint);

// What an operation refused, noted where it fails below its command's handler and raising would skip its
// callers' clean-up: when the command fails with that code, the report shows the note as a raised hint. Every
// command forgets the last note as it checks its arguments (CheckArgs). Returns code.
int NoteErrorHint(int code, std::string hint);
extern int NotedErrorHintCode;
// The note for code, or "": held already, so a report made without allocating can show it.
const char *NotedErrorHint(int code);
inline void ForgetErrorHint() { NotedErrorHintCode = 0; }
// kErrAnimFrameRange with a note of the frames there are (1 to frames).
int AnimFrameOutOfRange(int64_t frame, int64_t frames);

// The message of a code filled with the current error arguments. 1064 and 1239 show the argument text whole (up
// to the shown limit); a code without a known text gets "Error <code> (no message available)!".
std::string GetErrorText(int code);
// The same into a caller's buffer (always terminated, cut at a character boundary); returns the length written.
size_t GetErrorText(VMState *vm, int code, char *buffer, size_t size);

// The message of an error that stopped script code: GetErrorText, then the hint it was raised with
// (GetErrorDetail; for 1066 the limit hit, in brackets), what the VM says of the failed operation (which replaces
// the VM's own general text, codes 1500 up), then the "called from" lines of the callbacks it happened in, one
// per line.
std::string ScriptErrorMessage(VMState *vm, int code);

// A handler whose upward hook or services table is empty returns this: the library that fills it (named as the
// error argument) was left out, which only a build or test linking the lower libraries alone can do.
int LibraryNotRegistered(const char *libraryName);

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
