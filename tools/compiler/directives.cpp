#include "tools/compiler/directives.h"
#include "tools/compiler/names.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

// A linked file must fit one record (u32 length) with its name.
constexpr uint64_t kMaxLinkedFileSize = 0xFFFF0000u;

struct DirectiveFailure {
    int line;
    int column;
    std::string message;
};

[[noreturn]] void Fail(const Expr &at, std::string message) { throw DirectiveFailure{at.line, at.column, std::move(message)}; }
[[noreturn]] void Fail(const Directive &at, std::string message) {
    throw DirectiveFailure{at.line, at.column, std::move(message)};
}

AppletValue ToValue(const Expr &e, bool nested) {
    AppletValue v;
    switch (e.kind) {
    case ExprKind::Nil: return v;
    case ExprKind::Number:
        v.type = kAppletValueNumber;
        v.number = e.number;
        return v;
    case ExprKind::String:
        v.type = kAppletValueString;
        v.text = e.text;
        return v;
    case ExprKind::Constant:
        Fail(e, "#" + e.text + " cannot be used in a directive (constants get their values when the applet loads)");
    case ExprKind::Table: {
        if (nested) Fail(e, "tables inside tables are not allowed in a directive");
        v.type = kAppletValueTable;
        double position = 0;
        for (const TableField &field : e.fields) {
            AppletValue key;
            if (field.key) {
                key = ToValue(*field.key, true);
                if (key.type != kAppletValueNumber && key.type != kAppletValueString)
                    Fail(*field.key, "a table key in a directive must be a number or a string");
            } else {
                key.type = kAppletValueNumber;
                key.number = position++;
            }
            v.table.push_back({std::move(key), ToValue(*field.value, true)});
        }
        return v;
    }
    default:
        Fail(e, "directive arguments must be literal numbers, strings, Nil or tables");
    }
}

const AppletPreloadRow *FindPreload(const std::string &name) {
    for (const AppletPreloadRow &row : kAppletPreloadRows)
        if (row.directive[0] && name == row.directive) return &row;
    return nullptr;
}

bool IsDisplaySetting(const std::string &key) {
    for (const char *name : kDisplaySettingNames)
        if (key == name) return true;
    return false;
}

// What the author may have meant: layers are no setting but a command run once the display is open; otherwise
// the closest setting, or where the settings are listed.
std::string UnknownSettingMessage(const std::string &key, const std::string &lower) {
    std::string message = "unknown display setting '" + key + "'";
    if (lower == "layers" || lower == "enablelayers")
        return message + " (layers are turned on by the command EnableLayers(), not by a setting)";
    std::string suggestion = SuggestName(kDisplaySettingNames, lower);
    if (!suggestion.empty()) return message + " (did you mean '" + suggestion + "'?)";
    return message + " (the settings are listed under @DISPLAY in docs/script-language.md)";
}

void CollectDisplay(const Directive &d, AppletContents &contents) {
    if (contents.hasDisplaySettings) Fail(d, "@display is given twice");
    if (d.arguments.size() != 1 || d.arguments[0]->kind != ExprKind::Table)
        Fail(d, "@display takes one table of settings, e.g. @display {Width = 640, Height = 480}");
    AppletValue table = ToValue(*d.arguments[0], false);
    const Expr &source = *d.arguments[0];
    for (size_t i = 0; i < table.table.size(); ++i) {
        const AppletValue &key = table.table[i].key;
        const Expr &at = source.fields[i].key ? *source.fields[i].key : *source.fields[i].value;
        if (key.type != kAppletValueString) Fail(at, "@display settings are named, e.g. Width = 640");
        // Keys written as identifiers are already lower-case; a ["Key"] spelling is folded the same way.
        std::string lower = key.text;
        for (char &c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (!IsDisplaySetting(lower)) Fail(at, UnknownSettingMessage(key.text, lower));
        table.table[i].key.text = lower;
    }
    contents.displaySettings = std::move(table);
    contents.hasDisplaySettings = true;
}

std::vector<uint8_t> ReadWholeFile(const Expr &at, const std::string &path) {
    // A device or a pipe has no size to read: /dev/zero would be linked as an empty file.
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
        Fail(at, "linked file '" + path + "' is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(at, "cannot read linked file '" + path + "'");
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || uint64_t(size) > kMaxLinkedFileSize) Fail(at, "linked file '" + path + "' is too large");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char *>(bytes.data()), size)) Fail(at, "cannot read linked file '" + path + "'");
    return bytes;
}

// The name argument of @linkfile or @linkfont, once per applet.
const std::string &LinkedName(const Directive &d, std::set<std::string> &linkedNames) {
    if (d.arguments.size() != 1 || d.arguments[0]->kind != ExprKind::String)
        Fail(d, "@" + d.name + " takes one file name, e.g. @" + d.name + " \"gfx/title.png\"");
    const std::string &name = d.arguments[0]->text;
    if (name.empty() || name.size() > kAppletMaxNameLength) Fail(*d.arguments[0], "bad file name in @" + d.name);
    if (!linkedNames.insert(name).second) Fail(*d.arguments[0], "file '" + name + "' is linked twice");
    return name;
}

std::string SourcePath(const std::string &baseDirectory, const std::string &name) {
    return (name[0] == '/' || baseDirectory.empty()) ? name : baseDirectory + "/" + name;
}

void CollectLinkedFile(const Directive &d, const std::string &baseDirectory, AppletContents &contents,
                       std::set<std::string> &linkedNames) {
    const std::string &name = LinkedName(d, linkedNames);
    contents.linkedFiles.push_back({name, ReadWholeFile(*d.arguments[0], SourcePath(baseDirectory, name))});
}

bool EndsWith(const std::string &name, const char *tail) {
    const size_t n = strlen(tail);
    if (name.size() < n) return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != tail[i]) return false;
    return true;
}

// A font for the player's own font reader: a TrueType or OpenType file, or a bitmap font's contents file
// together with the size files its entries name (relative to the contents file's directory).
void CollectLinkedFont(const Directive &d, const std::string &baseDirectory, AppletContents &contents,
                       std::set<std::string> &linkedNames) {
    const std::string &name = LinkedName(d, linkedNames);
    const Expr &at = *d.arguments[0];
    const bool outline = EndsWith(name, ".ttf") || EndsWith(name, ".otf");
    if (!outline && !EndsWith(name, ".font")) Fail(at, "@linkfont takes a .font, .ttf or .otf file");
    std::vector<uint8_t> file = ReadWholeFile(at, SourcePath(baseDirectory, name));
    AppletLinkedFont font;
    font.name = name;
    font.bytes = {0, 0, 0, uint8_t(outline ? 2 : 0)};
    font.bytes.insert(font.bytes.end(), file.begin(), file.end());
    if (!outline) {
        const uint32_t id = file.size() >= 4 ? uint32_t(file[0]) << 8 | file[1] : 0;
        const uint32_t count = file.size() >= 4 ? uint32_t(file[2]) << 8 | file[3] : 0;
        if ((id != 0x0F00 && id != 0x0F02) || file.size() < 4 + uint64_t(count) * 260)
            Fail(at, "'" + name + "' is not a bitmap font's contents file");
        const size_t cut = name.find_last_of('/');
        const std::string directory = cut == std::string::npos ? "" : name.substr(0, cut + 1);
        for (uint32_t i = 0; i < count; i++) {
            const char *entry = reinterpret_cast<const char *>(file.data() + 4 + i * 260);
            const std::string entryName(entry, strnlen(entry, 256));
            if (entryName.empty() || entryName == "::incomplete") continue;
            const std::string sizeName = directory + entryName;
            font.sizeFiles.push_back({i, {sizeName, ReadWholeFile(at, SourcePath(baseDirectory, sizeName))}});
        }
    }
    contents.linkedFonts.push_back(std::move(font));
}

} // namespace

bool CollectDirectives(const ScriptNode &script, const std::string &baseDirectory, AppletContents &contents,
                       CompileError &error) {
    std::set<std::string> linkedNames;
    try {
        for (const Directive &d : script.directives) {
            if (d.name == "display") {
                CollectDisplay(d, contents);
            } else if (d.name == "linkfile") {
                CollectLinkedFile(d, baseDirectory, contents, linkedNames);
            } else if (d.name == "linkfont") {
                CollectLinkedFont(d, baseDirectory, contents, linkedNames);
            } else if (const AppletPreloadRow *row = FindPreload(d.name)) {
                if (d.arguments.empty()) Fail(d, "@" + d.name + " needs at least an id and a name");
                if (d.arguments.size() > 255) Fail(d, "too many arguments for @" + d.name);
                AppletPreload preload;
                preload.kind = row->kind;
                for (const ExprPtr &argument : d.arguments) preload.arguments.push_back(ToValue(*argument, false));
                contents.preloads.push_back(std::move(preload));
            } else {
                Fail(d, "unknown directive '@" + d.name + "'");
            }
        }
    } catch (const DirectiveFailure &failure) {
        error.line = failure.line;
        error.column = failure.column;
        error.message = failure.message;
        return false;
    }
    return true;
}
