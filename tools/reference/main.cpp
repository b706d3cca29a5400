// Writes the command reference (docs/commands/*.md, docs/constants.md) and the compiler's list of known names
// from the libraries' registration tables and the reference rows beside them, or with --check compares what it
// would write with the files in the tree. Either way it fails when a registered command or constant has no
// reference row, a row names nothing registered, or a row's argument counts differ from its synopsis's or its
// handler's, so the pages cannot drift from the tables. With --seen it checks the rows' option keys and error
// codes against what the test build recorded the commands doing while the suite ran.
//
//     vlreference [--check] <source tree>
//     vlreference --seen <record folder>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fx/transitionfx_library.h"
#include "imaging/graphics_library.h"
#include "libs/arexx/arexx_library.h"
#include "libs/dos/dos_library.h"
#include "libs/math/math_library.h"
#include "libs/memblock/memblock_library.h"
#include "libs/string/string_library.h"
#include "libs/system/system_commands.h"
#include "media/anim_library.h"
#include "media/sound_library.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/display/display_library.h"
#include "scene/events/event_library.h"
#include "scene/images/bgpic_library.h"
#include "scene/images/brush_library.h"
#include "scene/images/sprite_library.h"
#include "scene/layers/layers_library.h"
#include "scene/layers/moveobject_library.h"
#include "text/layout/text_library.h"
#include "tools/compiler/compile.h"
#include "tools/reference/reference_check.h"

// Each library's reference rows, defined beside its registration table.
extern const LibraryReference kStringReference;
extern const LibraryReference kMathReference;
extern const LibraryReference kGraphicsReference;
extern const LibraryReference kDrawReference;
extern const LibraryReference kMoveObjectReference;
extern const LibraryReference kDosReference;
extern const LibraryReference kEventReference;
extern const LibraryReference kSystemReference;
extern const LibraryReference kLayersReference;
extern const LibraryReference kTextReference;
extern const LibraryReference kAnimReference;
extern const LibraryReference kDisplayReference;
extern const LibraryReference kSoundReference;
extern const LibraryReference kBrushReference;
extern const LibraryReference kBGPicReference;
extern const LibraryReference kTransitionFxReference;
extern const LibraryReference kSpriteReference;
extern const LibraryReference kMemBlockReference;
extern const LibraryReference kArexxReference;

namespace {

struct Library {
    const char *name;
    const CommandEntry *commands;
    const ConstantEntry *constants; // null when the library registers none
    const LibraryReference *reference;
};

// The player's registration order.
std::vector<Library> Libraries() {
    static const std::vector<ConstantEntry> effectConstants = TransitionFxConstants();
    return {
        {"string", kStringCommands, nullptr, &kStringReference},
        {"math", kMathCommands, kMathConstants, &kMathReference},
        {"graphics", kGraphicsCommands, kGraphicsConstants, &kGraphicsReference},
        {"draw", kDrawCommands, kDrawConstants, &kDrawReference},
        {"moveobject", kMoveObjectCommands, kMoveObjectConstants, &kMoveObjectReference},
        {"dos", kDosCommands, kDosConstants, &kDosReference},
        {"event", kEventCommands, kEventConstants, &kEventReference},
        {"system", kSystemCommands, kSystemConstants, &kSystemReference},
        {"layers", kLayersCommands, nullptr, &kLayersReference},
        {"text", kTextCommands, kTextConstants, &kTextReference},
        {"anim", kAnimCommands, nullptr, &kAnimReference},
        {"display", kDisplayCommands, kDisplayConstants, &kDisplayReference},
        {"sound", kSoundCommands, kSoundConstants, &kSoundReference},
        {"brush", kBrushCommands, kBrushConstants, &kBrushReference},
        {"bgpic", kBGPicCommands, nullptr, &kBGPicReference},
        {"transitionfx", kTransitionFxCommands, effectConstants.data(), &kTransitionFxReference},
        {"sprite", kSpriteCommands, nullptr, &kSpriteReference},
        {"memblock", kMemBlockCommands, nullptr, &kMemBlockReference},
        {"arexx", kArexxCommands, nullptr, &kArexxReference},
    };
}

std::vector<std::string> g_problems;

void Problem(const std::string &text) { g_problems.push_back(text); }

// A message as one line: the table's line breaks become blanks.
std::string OneLine(const char *text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

// An error's message as the pages give it: the player's own words, so a reader can search for what it printed.
std::string PageMessage(int code) {
    const char *message = FindErrorMessage(code);
    return message ? OneLine(message) : "";
}

std::string FormatNumber(double value) {
    char buffer[64];
    if (value == double(int64_t(value))) std::snprintf(buffer, sizeof buffer, "%lld", (long long)value);
    else std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string CommandSection(const CommandDoc &doc) {
    std::ostringstream out;
    out << "## " << doc.name << "\n\n`" << doc.synopsis << "`\n\n" << doc.text << "\n";
    if (doc.options) {
        out << "\nOptions:";
        std::istringstream keys(doc.options);
        std::string key;
        const char *separator = " ";
        while (std::getline(keys, key, ',')) {
            key.erase(0, key.find_first_not_of(' '));
            out << separator << "`" << key << "`";
            separator = ", ";
        }
        out << ".\n";
    }
    if (doc.errors[0]) {
        out << "\n| error | message |\n|---|---|\n";
        for (int code : doc.errors) {
            if (!code) break;
            if (!FindErrorMessage(code))
                Problem(std::string(doc.name) + ": error " + std::to_string(code) + " has no message");
            out << "| " << code << " | " << PageMessage(code) << " |\n";
        }
    }
    if (doc.example) {
        // Examples must at least compile, so a reader can paste them; the page examples test runs every block
        // marked vls.
        FunctionProto main;
        CompileError error;
        if (!CompileScript(doc.example, doc.name, main, error))
            Problem(std::string(doc.name) + ": example does not compile: " + FormatCompileError(error));
        out << "\n```vls\n" << doc.example << "\n```\n";
    }
    return out.str();
}

// Checks the reference rows against the registration table both ways.
void CheckCommands(VMState *vm, const Library &library) {
    std::set<std::string> documented;
    for (const CommandDoc *doc = library.reference->commands; doc->name; doc++) {
        if (!documented.insert(doc->name).second) Problem(std::string("command documented twice: ") + doc->name);
        std::string synopsis = doc->synopsis;
        if (synopsis.find(std::string(doc->name) + "(") == std::string::npos)
            Problem(std::string("synopsis does not call its command: ") + doc->name);
    }
    for (const CommandEntry *row = library.commands; row->name; row++) {
        if (!documented.erase(row->name)) {
            Problem(std::string(library.name) + ": no reference row for " + row->name);
            continue;
        }
        for (const CommandDoc *doc = library.reference->commands; doc->name; doc++)
            if (std::string(doc->name) == row->name) CheckArgumentCounts(vm, *row, *doc, g_problems);
    }
    for (const std::string &name : documented)
        Problem(std::string(library.name) + ": reference row for unregistered " + name);
}

std::string LibraryPage(const Library &library) {
    const LibraryReference &reference = *library.reference;
    std::ostringstream out;
    out << "# The " << library.name << " library\n\n" << reference.summary << "\n\n"
        << "Generated from the library's tables by tools/reference; see [the index](README.md) for what all "
           "commands share.\n\n";
    for (const CommandEntry *row = library.commands; row->name; row++) out << "- [" << row->name << "](#"
                                                                          << AsciiLower(row->name) << ")\n";
    for (const CommandEntry *row = library.commands; row->name; row++)
        for (const CommandDoc *doc = reference.commands; doc->name; doc++)
            if (std::string(doc->name) == row->name) out << "\n" << CommandSection(*doc);
    return out.str();
}

std::string IndexPage(const std::vector<Library> &libraries) {
    std::ostringstream out;
    out << "# Command reference\n\n"
           "Every command a script can call, library by library, generated from the tables the player registers "
           "(tools/reference; `scripts/make-reference` rewrites the pages). The constants are in "
           "[constants.md](../constants.md).\n\n"
           "How to read a synopsis: arguments in brackets may be left out; `id` is an object number you choose, "
           "or Nil to let the command make one and return its handle; `options` is a table of the keys listed "
           "with the command. Names are not case-sensitive. Results are shown left of `=`.\n\n"
           "A command reads the tables it is given (options, attributes, styles, vertices, lists) raw: only the "
           "keys stored in the table count, and its metatable is not consulted (no `__index` or other "
           "metamethod runs). So options a table only inherits through `__index` from a table of defaults are "
           "not seen: `CreateDisplay(2, SetMetaTable({}, {__index = {Width = 100}}))` makes a display 640 "
           "pixels wide. Put the keys into the table itself.\n\n"
           "Errors every command can raise besides its own list:\n\n| error | message |\n|---|---|\n";
    for (int code : CommonErrors())
        out << "| " << code << " | " << PageMessage(code) << " |\n";
    out << "\n| library | commands | what it is for |\n|---|---|---|\n";
    for (const Library &library : libraries) {
        int count = 0;
        for (const CommandEntry *row = library.commands; row->name; row++) count++;
        if (library.reference)
            out << "| [" << library.name << "](" << library.name << ".md) | " << count << " | "
                << library.reference->summary << " |\n";
        else
            out << "| " << library.name << " | " << count << " | |\n";
    }
    return out.str();
}

std::string ConstantsPage(const std::vector<Library> &libraries) {
    std::ostringstream out;
    out << "# Constants\n\n"
           "Write a constant as `#NAME` anywhere a value goes; the compiler checks the name and the player puts "
           "in its value when the applet is loaded. Generated from the libraries' tables by tools/reference.\n";
    for (const Library &library : libraries) {
        if (!library.constants) {
            if (library.reference && library.reference->constants && library.reference->constants->name)
                Problem(std::string(library.name) + ": constants documented but none registered");
            continue;
        }
        std::map<std::string, const char *> meanings;
        const ConstantDoc *docs = library.reference ? library.reference->constants : nullptr;
        for (const ConstantDoc *doc = docs; doc && doc->name; doc++)
            if (!meanings.emplace(doc->name, doc->meaning).second)
                Problem(std::string("constant documented twice: ") + doc->name);
        out << "\n## " << library.name << "\n\n| constant | value | meaning |\n|---|---|---|\n";
        for (const ConstantEntry *row = library.constants; row->name; row++) {
            auto it = meanings.find(row->name);
            if (it == meanings.end()) {
                if (!library.reference) {
                    out << "| #" << row->name << " | " << FormatNumber(row->number) << " | |\n";
                    continue;
                }
                Problem(std::string(library.name) + ": no meaning for constant " + row->name);
                continue;
            }
            // Appended, not "\"" + text: GCC 12 warns wrongly about that copy.
            std::string value = row->string ? std::string(1, '"').append(row->string).append(1, '"')
                                            : FormatNumber(row->number);
            out << "| #" << row->name << " | " << value << " | " << it->second << " |\n";
            meanings.erase(it);
        }
        for (const auto &[name, meaning] : meanings)
            Problem(std::string(library.name) + ": meaning for unregistered constant " + name);
    }
    return out.str();
}

// The arguments a command's options table stands at (bit n for argument n + 1), from the names its synopsis gives
// them in every form; a table elsewhere (a userdata, a vertex list) is not options. All when no name says.
uint32_t OptionArguments(const CommandDoc &doc) {
    static const std::set<std::string> kOptionTables = {"options", "style", "handlers", "events", "attributes"};
    const std::string synopsis = doc.synopsis, call = std::string(doc.name) + "(";
    uint32_t arguments = 0;
    for (size_t at = synopsis.find(call); at != std::string::npos; at = synopsis.find(call, at)) {
        at += call.size();
        // The argument each open bracket starts at: "a | b" gives both the same one.
        std::vector<int> starts{0};
        int argument = 0;
        while (at < synopsis.size() && synopsis[at] != ')') {
            const char c = synopsis[at];
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '#' || c == '_') {
                const size_t end = synopsis.find_first_of(",[]|) ", at);
                if (kOptionTables.count(synopsis.substr(at, end - at)) && argument < 32) arguments |= 1u << argument;
                argument++;
                at = end;
                continue;
            }
            if (c == '[') starts.push_back(argument);
            else if (c == ']' && starts.size() > 1) starts.pop_back();
            else if (c == '|') argument = starts.back();
            at++;
        }
    }
    return arguments ? arguments : ~0u;
}

// The compiler's list: every command and constant name, sorted case-insensitively, and the option keys of the
// commands that read options with the arguments they read them from, as C++ rows.
std::string KnownNames(const std::vector<Library> &libraries) {
    std::map<std::string, std::string> commands, constants, options;
    for (const Library &library : libraries) {
        for (const CommandDoc *doc = library.reference->commands; doc->name; doc++) {
            if (!doc->options) continue;
            std::string keys = doc->options;
            keys.erase(std::remove(keys.begin(), keys.end(), ' '), keys.end());
            char arguments[16];
            std::snprintf(arguments, sizeof arguments, "0x%x", OptionArguments(*doc));
            options[AsciiLower(doc->name)] = std::string(arguments) + ", \"" + keys + "\"";
        }
        for (const CommandEntry *row = library.commands; row->name; row++) commands[AsciiLower(row->name)] = row->name;
        for (const ConstantEntry *row = library.constants; row && row->name; row++)
            constants[AsciiLower(row->name)] = row->name;
    }
    std::ostringstream out;
    out << "// Generated by tools/reference from the command libraries' tables: do not edit.\n"
           "// The names of every registered command and constant, sorted by their lower-case form.\n"
           "#pragma once\n\n#include <cstdint>\n\nconstexpr const char *kKnownCommands[] = {\n";
    for (const auto &[lower, name] : commands) out << "    \"" << name << "\",\n";
    out << "};\n\nconstexpr const char *kKnownConstants[] = {\n";
    for (const auto &[lower, name] : constants) out << "    \"" << name << "\",\n";
    out << "};\n\n"
           "// The option keys of every command that reads an options table, comma-separated as its row spells them, and\n"
           "// the arguments the table stands at (bit n for argument n + 1).\n"
           "struct KnownOptions {\n    const char *command;\n    uint32_t arguments;\n    const char *keys;\n};\n\n"
           "constexpr KnownOptions kKnownOptions[] = {\n";
    for (const auto &[lower, row] : options) out << "    {\"" << commands[lower] << "\", " << row << "},\n";
    out << "};\n";
    return out.str();
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The rows against what the suite saw the commands do (scripts/test runs this after a full run).
int CheckSeenFolder(const std::string &folder) {
    SeenCommands seen;
    if (!ReadSeenCommands(folder, &seen)) {
        std::fprintf(stderr, "vlreference: nothing recorded in %s\n", folder.c_str());
        return 1;
    }
    for (const Library &library : Libraries())
        for (const CommandDoc *doc = library.reference->commands; doc->name; doc++) CheckSeen(*doc, seen, g_problems);
    for (const std::string &problem : g_problems) std::fprintf(stderr, "vlreference: %s\n", problem.c_str());
    std::printf("vlreference: %zu disagreements between the rows and what the suite saw\n", g_problems.size());
    return g_problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--seen") return CheckSeenFolder(argv[2]);
    bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: vlreference [--check] <source tree> | --seen <record folder>\n");
        return 2;
    }
    std::string tree = argv[argc - 1];
    std::vector<Library> libraries = Libraries();
    std::vector<std::pair<std::string, std::string>> files;
    // The VM the handlers are probed in; the anim library installs the loader behind the sprite library's
    // LoadSprite.
    VMState *vm = NewVMState();
    kAnimLibrary.registerLibrary(vm);
    for (const Library &library : libraries) {
        if (!library.reference) {
            Problem(std::string(library.name) + ": the library has no reference rows");
            continue;
        }
        CheckCommands(vm, library);
        files.emplace_back("docs/commands/" + std::string(library.name) + ".md", LibraryPage(library));
    }
    kAnimLibrary.freeAll(vm);
    CloseVMState(vm);
    files.emplace_back("docs/commands/README.md", IndexPage(libraries));
    files.emplace_back("docs/constants.md", ConstantsPage(libraries));
    files.emplace_back("tools/compiler/known_names.h", KnownNames(libraries));
    for (const std::string &problem : g_problems) std::fprintf(stderr, "vlreference: %s\n", problem.c_str());
    int stale = 0;
    for (const auto &[path, text] : files) {
        std::string full = tree + "/" + path;
        if (check) {
            if (ReadFile(full) != text) {
                std::fprintf(stderr, "vlreference: %s differs from the tables (run scripts/make-reference)\n",
                             path.c_str());
                stale++;
            }
        } else {
            std::ofstream out(full, std::ios::binary);
            out << text;
            if (!out) {
                std::fprintf(stderr, "vlreference: cannot write %s\n", full.c_str());
                return 1;
            }
        }
    }
    return g_problems.empty() && stale == 0 ? 0 : 1;
}
