// vlac: compiles a script into an applet.  vlac [-o out.vla] [-z] script.vls
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "tools/compiler/compile.h"
#include "tools/tool_files.h"
#include "tools/tool_options.h"

namespace {

// Scripts are text written by people; anything larger is a mistake, not a script. The syntax tree takes up to
// about a hundred times the source's size, so this also bounds the compiler's memory.
constexpr uintmax_t kMaxScriptSize = 4u << 20;

void PrintUsage(FILE *out) {
    std::fprintf(out, "usage: vlac [-o out.vla] [-z] script.vls\n"
                      "  -o FILE    write the applet to FILE (default: the script's name with .vla)\n"
                      "  -z         write the compressed (VLZ) form\n"
                      "  --help     show this text\n"
                      "  --version  show the version\n");
}

} // namespace

int main(int argc, char **argv) {
    if (int status = 0; AnswerHelpOrVersion(argc, argv, "vlac", PrintUsage, &status)) return status;
    std::string output, input;
    bool compressed = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "-z") == 0) {
            compressed = true;
        } else if (argv[i][0] == '-') {
            const bool bare = std::strcmp(argv[i], "-o") == 0;
            std::fprintf(stderr, "vlac: %s \"%s\"\n", bare ? "a file name must follow" : "unknown option", argv[i]);
            return UsageError(PrintUsage);
        } else if (!input.empty()) {
            std::fprintf(stderr, "vlac: one script at a time (\"%s\" and \"%s\")\n", input.c_str(), argv[i]);
            return UsageError(PrintUsage);
        } else {
            input = argv[i];
        }
    }
    if (input.empty()) return UsageError(PrintUsage);

    std::error_code ec;
    auto size = std::filesystem::file_size(input, ec);
    if (ec || size > kMaxScriptSize) {
        // The reason, as the system gives it ("No such file or directory"), or the limit.
        std::fprintf(stderr, "vlac: cannot read %s (%s)\n", input.c_str(),
                     ec ? ec.message().c_str() : "larger than 4 MiB: not a script");
        return 1;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "vlac: cannot read %s (%s)\n", input.c_str(), std::strerror(errno));
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "vlac: cannot read %s\n", input.c_str());
        return 1;
    }
    std::filesystem::path path(input);
    if (output.empty()) output = std::filesystem::path(path).replace_extension(".vla").string();

    AppletContents contents;
    CompileError error;
    std::vector<CompileError> warnings;
    bool compiled = CompileApplet(text.str(), input, path.parent_path().string(), contents, error, &warnings);
    for (CompileError &warning : warnings) {
        warning.message = "warning: " + warning.message;
        std::fprintf(stderr, "%s\n", FormatCompileError(warning).c_str());
    }
    if (!compiled) {
        std::fprintf(stderr, "%s\n", FormatCompileError(error).c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    std::string message;
    if (!BuildAppletFile(contents, compressed, bytes, message)) {
        std::fprintf(stderr, "vlac: %s\n", message.c_str());
        return 1;
    }
    std::string why;
    if (!WriteWholeFile(output, bytes, &why)) {
        std::fprintf(stderr, "vlac: cannot write %s (%s)\n", output.c_str(), why.c_str());
        return 1;
    }
    return 0;
}
