// The error table and the message formatting.
#include "runtime/app/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "runtime/app/runtime_globals.h"

namespace {

struct ErrorMessage {
    int code;
    const char *text;
};

// Sorted by code; the texts are used exactly as written, "%s" and "%ld" filled from the error arguments.
constexpr ErrorMessage kErrorMessages[] = {
    {1000, "Out of memory!"},
    {1003, "User abort!"},
    {1005, "Could not write all characters to file!\nCheck if there is enough free space!"},
    {1009, "Could not read all characters from file!\nCheck if it is read protected!"},
    {1014, "Not enough arguments!"},
    {1018, "General syntax error!"},
    {1019, "Wrong data type specified!"},
    {1024, "Value expected!"},
    {1025, "Cannot open %s !"},
    {1040, "Return without Gosub!"},
    {1041, "Requested object not found!"},
    {1043, "Error locking directory!"},
    {1045, "Cannot read file %s !"},
    {1052, "Cannot write to file %s !"},
    {1055, "Wrong usage/parameters for this command!\nRead the documentation!"},
    {1056, "This command cannot be used when SelectBGPic() is active!"},
    {1063, "Cannot load animation! Make sure that you got at least\nversion 40 of animation.datatype and realtime.library!"},
    {1064, "Cannot open font %s with size %ld!"},
    {1065, "Cannot load sample %s !"},
    {1066, "Internal limit encountered! Contact the author..."},
    {1070, "General AHI error!"},
    {1076, "Invalid seek position specified!"},
    {1078, "This function requires enabled layers!"},
    {1081, "Specified layer is out of range!"},
    {1082, "This command cannot be used when SelectBrush() is active!"},
    {1084, "Error creating directory %s !"},
    {1085, "Unable to change display size to %s !"},
    {1086, "You cannot specify an initial BGPic together with DISPLAYDESKTOP!"},
    {1089, "Division by zero!"},
    {1091, "Unknown error code!"},
    {1094, "Specified animation frame is out of range!"},
    {1108, "Closing square bracket expected!"},
    {1135, "Stack overflow!"},
    {1138, "Number expected in argument %ld!"},
    {1139, "String expected in argument %ld!"},
    {1140, "Table expected in argument %ld!"},
    {1141, "File was opened in read-only mode!"},
    {1142, "File was opened in write-only mode!"},
    {1143, "Could not delete file!"},
    {1144, "Could not examine %s!"},
    {1145, "Could not rename file!"},
    {1146, "Specified offset is out of range!"},
    {1147, "This command cannot be used when SelectMask() is active!"},
    {1149, "Attempt to modify the active brush!"},
    {1152, "Could not lock bitmap!"},
    {1154, "Negative coordinates are not allowed here!"},
    {1155, "Specified layer is not an anim layer!"},
    {1156, "Brush size does not match specified arguments!"},
    {1161, "Layer name was already assigned!"},
    {1162, "Layers must be turned off when using this function!"},
    {1163, "Layers cannot be turned on/off while off-screen rendering is active!"},
    {1167, "This command cannot be used when SelectAlphaChannel() is active!"},
    {1174, "Could not find brush %ld!"},
    {1175, "Could not find text object %ld!"},
    {1176, "Could not find anim %ld!"},
    {1177, "Could not find BGPic %ld!"},
    {1178, "Could not find sample %ld!"},
    {1179, "Could not find file handle %ld!"},
    {1180, "Could not find memory block %ld!"},
    {1181, "Could not find timer %ld!"},
    {1182, "Could not find move queue %ld!"},
    {1183, "String or number expected in argument %ld!"},
    {1184, "Invalid percent format in argument %ld!"},
    {1185, "Function expected in argument %ld!"},
    {1188, "Could not find button %ld!"},
    {1189, "Number expected in table argument \"%s\"!"},
    {1190, "Callback function was expected to return a number!"},
    {1191, "A BGPic needs to be active while calling button functions!"},
    {1193, "Too many arguments for this function!"},
    {1194, "Could not find interval function %ld!"},
    {1195, "Could not find timeout function %ld!"},
    {1196, "Error loading sample to sound card!"},
    {1211, "%s is no Vistaloom applet!"},
    {1212, "Compilation is not possible with VistaloomPlayer!"},
    {1217, "Specified coordinates are out of range!"},
    {1218, "Width/height values must be greater than 0!"},
    {1219, "Could not find sprite %ld!"},
    {1220, "Sprite %ld is not on screen!"},
    {1223, "Mask and alpha channel are mutually exclusive!"},
    {1224, "Please remove all sprites first!"},
    {1227, "Cannot modify a sprite that is on screen!"},
    {1228, "Cannot modify a linked sprite!"},
    {1229, "Please end double buffering first!"},
    {1230, "Double buffering is currently not supported for transparent displays!"},
    {1231, "Could not find music %ld!"},
    {1232, "Music %ld is not currently playing!"},
    {1233, "Specified seek position is out of range!"},
    {1235, "Unknown music format!"},
    {1236, "Music format does not support this function!"},
    {1237, "Table or Nil expected!"},
    {1238, "Cannot change a protected metatable!"},
    {1240, "Error adding task to the system!"},
    {1241, "Error setting up task! (%s)"},
    {1242, "Cannot read beyond end of file!"},
    {1244, "Double buffering mode is not currently active!"},
    {1245, "Specified length exceeds string length!"},
    {1246, "An error occurred while processing the gfx cache!"},
    {1247, "String expected in table argument \"%s\"!"},
    {1250, "%s is not a directory!"},
    {1251, "Text format tag after square bracket not recognized!"},
    {1252, "Syntax error in text format specification!"},
    {1253, "Not enough arguments to this text format tag!"},
    {1255, "This font type does not support anti-aliased output!"},
    {1256, "Could not create message port!"},
    {1257, "ARexx server is not running!"},
    {1258, "Rexx interpreter returned an error! (%s)"},
    {1259, "Callback function was expected to return a string!"},
    {1260, "There is already a port with the name %s!"},
    {1264, "This music is not in pause state!"},
    {1270, "Error loading animation frame!"},
    {1275, "Port \"%s\" could not be found!"},
    {1279, "Cannot load audio stream as a sample!"},
    {1282, "Error setting file attributes!"},
    {1283, "Error setting file date!"},
    {1284, "Error setting file comment!"},
    {1285, "Invalid date format specification!"},
    {1286, "Error locking %s!"},
    {1289, "Could not allocate audio channel for this sound!"},
    {1298, "Error allocating semaphore object!"},
    {1299, "Vistaloom currently only supports 8 or 16 bit sounds!"},
    {1302, "Error setting up message port!"},
    {1306, "A zlib IO error occurred!"},
    {1307, "A zlib stream error occurred!"},
    {1308, "Invalid zlib version detected!"},
    {1309, "Invalid or incomplete deflate data (zlib)!"},
    {1310, "Unknown compression format!"},
    {1312, "Autoscale cannot be used together with DisplayDesktop!"},
    {1313, "Layers cannot be disabled when the layer scaling engine is used!"},
    {1314, "Cannot modify object while it is locked!"},
    {1318, "Could not find directory handle %ld!"},
    {1319, "Music is not currently playing!"},
    {1322, "Cannot find Vistaloom function at this offset!"},
    {1323, "Invalid Base64 encoding!"},
    {1324, "Specified function is not a user function!"},
    {1325, "Sprite is not on screen!"},
    {1328, "Cannot find Vistaloom table at this offset!"},
    {1329, "Cannot switch layer mode while async draw is active!"},
    {1334, "Could not find font %ld!"},
    {1335, "Font specification must not be a file!"},
    {1337, "You cannot use coordinate constants here!"},
    {1338, "This function cannot be used with disk-based animations!"},
    {1339, "This command cannot be used when SelectAnim() is active!"},
    {1340, "Attempt to modify the active anim!"},
    {1341, "Could not find anim stream %ld!"},
    {1344, "Could not find display %ld!"},
    {1345, "Cannot use the a single BGPic for multiple displays!"},
    {1346, "Cannot free the active display!"},
    {1347, "Cannot use this function while display is closed!"},
    {1350, "Cannot switch display mode because of different color resolution!"},
    {1356, "Animation file \"%s\" is in an unknown/unsupported format!"},
    {1357, "Sample file \"%s\" is in an unknown/unsupported format!"},
    {1358, "Image file \"%s\" is in an unknown/unsupported format!"},
    {1360, "Error adding app window to Workbench!"},
    {1361, "Unknown data format in clipboard!"},
    {1362, "Invalid order function for sorting!"},
    {1366, "Cannot change size of a BGPic that is selected into a display!"},
    {1367, "You need to select the BGPic's display before modifying the BGPic!"},
    {1369, "Cannot find layer \"%s\" in current BGPic!"},
    {1370, "Invalid insert position specified!"},
    {1371, "Specified layer already has an async draw object attached!"},
    {1372, "Cannot remove layer while it is used by an async draw object!"},
    {1373, "Specified name is too long!"},
    {1377, "Cannot modify the graphics of a BGPic associated with a display!"},
    {1378, "Attempt to modify the BGPic currently selected as output device!"},
    {1380, "Cannot free display before associated async draw objects have been freed!"},
    {1381, "Cannot create sprite link from sprite link!"},
    {1382, "Specified sprites must have the same dimensions!"},
    {1383, "Cannot trim brush because it is fully transparent!"},
    {1385, "Cannot acquire joystick!"},
    {1386, "Error initializing freetype2!"},
    {1388, "This operation is not supported by the specified brush type!"},
    {1390, "This operation is not supported by the specified BGPic type!"},
    {1391, "Cannot convert a transformed vector brush into a BGPic!"},
    {1392, "Cannot convert a transformed vector BGPic into a brush!"},
    {1404, "Cannot render layer because it is attached to async draw object!"},
    {1427, "No joystick found at specified game port!"},
    // The runtime's own.
    {1491, "Command %s() is not available yet!"},
    // The VM's own.
    {1500, "A label jump was requested outside the main chunk!"},
    {1501, "Label jump target is not a label!"},
    {1502, "Command returned an invalid result count!"},
    {1503, "Invalid stack index!"},
    {1504, "Attempt to call a non-function value!"},
    {1505, "Attempt to index a non-table value!"},
    {1506, "Not a Vistaloom bytecode chunk!"},
    {1507, "Bytecode chunk has a different byte order!"},
    {1508, "Bytecode chunk was made with different sizes!"},
    {1509, "Bytecode chunk has a different number format!"},
    {1510, "Bytecode chunk has an unsupported format version!"},
    {1511, "Bytecode chunk is truncated!"},
    {1512, "Bytecode chunk is corrupt!"},
    {1513, "Unknown constant %s!"},
    {1514, "Invalid key for NextItem()!"},
    {1515, "Table index is Nil or NaN!"},
    {1516, "Metatable chain too long in __index or __newindex!"},
};

std::string g_errorArgString;
int64_t g_errorArgNumber = 0;

// The first `limit` bytes of text, shortened so that a UTF-8 sequence is never cut in half.
std::string_view CutAtCharacter(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    size_t back = 0;
    while (end > 0 && back < 3 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) {
        end--;
        back++;
    }
    return text.substr(0, end);
}

std::string FillMessage(const char *format) {
    std::string out;
    std::string_view arg = CutAtCharacter(g_errorArgString, kErrorArgShownBytes);
    for (const char *p = format; *p;) {
        if (p[0] == '%' && p[1] == 's') {
            out.append(arg);
            p += 2;
        } else if (p[0] == '%' && p[1] == 'l' && p[2] == 'd') {
            out += std::to_string(g_errorArgNumber);
            p += 3;
        } else {
            out += *p++;
        }
    }
    return out;
}

} // namespace

const char *FindErrorMessage(int code) {
    const ErrorMessage *end = std::end(kErrorMessages);
    const ErrorMessage *it =
        std::lower_bound(std::begin(kErrorMessages), end, code, [](const ErrorMessage &m, int c) { return m.code < c; });
    return (it != end && it->code == code) ? it->text : nullptr;
}

size_t ErrorMessageCount() { return std::size(kErrorMessages); }

void SetErrorArgString(const char *text) { g_errorArgString = text ? text : ""; }
void SetErrorArgString(std::string_view text) { g_errorArgString.assign(text); }
void SetErrorArgNumber(int64_t number) { g_errorArgNumber = number; }
const std::string &ErrorArgString() { return g_errorArgString; }
int64_t ErrorArgNumber() { return g_errorArgNumber; }

namespace {
std::string g_shutdownFailures;
} // namespace

void NoteShutdownFailure(int code, const char *origin) {
    g_shutdownFailures += FormatErrorReport(nullptr, 0, origin ? origin : "", GetErrorText(code).c_str());
}

std::string TakeShutdownFailures() { return std::exchange(g_shutdownFailures, std::string()); }

int CommandNotAvailable(const char *commandName) {
    SetErrorArgString(commandName);
    return kErrNotAvailableYet;
}

std::string GetErrorText(int code) {
    // These two carry their whole message in the argument text.
    if (code == kErrUserError || (code == kErrFontOpen && !g_errorArgString.empty()))
        return std::string(CutAtCharacter(g_errorArgString, kErrorArgShownBytes));
    if (const char *format = FindErrorMessage(code)) return FillMessage(format);
    return "Error " + std::to_string(code) + " has no message text!";
}

size_t GetErrorText(VMState *, int code, char *buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    std::string text = GetErrorText(code);
    std::string_view cut = CutAtCharacter(text, size - 1);
    memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = 0;
    return cut.size();
}

std::string FormatErrorReport(const char *file, int line, const char *origin, const char *message) {
    std::string out;
    if (file && *file) {
        out = std::string(file) + ":" + std::to_string(line) + ": " + message;
    } else {
        out = std::string(origin ? origin : "") + ": " + message;
    }
    return out + "\n";
}

std::string FormatErrorWithPosition(const char *message, const char *file, int line) {
    return std::string(message) + "\nFile: " + (file ? file : "") + " (current line: " + std::to_string(line) + ")";
}

int ApplyErrorPolicy(VMState *, int code) {
    LastErrorCode = code;
    // A user abort must stop the script whatever the settings; swallowing it would keep a closed program running.
    if (code == kErrUserAbortCode) return 1;
    return (ExitOnErrorSwitch || ExitOnErrorCount > 0) ? 1 : 0;
}
