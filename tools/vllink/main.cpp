// vllink: makes a stand-alone program from a player and an applet.  vllink -o program player applet
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/applet/link.h"
#include "tools/tool_files.h"
#include "tools/tool_options.h"

namespace {


void PrintUsage(FILE *out) {
    std::fprintf(out, "usage: vllink -o program player applet\n"
                      "  -o FILE    write the stand-alone program to FILE\n"
                      "  --help     show this text\n"
                      "  --version  show the version\n");
}

} // namespace

int main(int argc, char **argv) {
    if (int status = 0; AnswerHelpOrVersion(argc, argv, "vllink", PrintUsage, &status)) return status;
    std::string output;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (argv[i][0] == '-') {
            const bool bare = std::strcmp(argv[i], "-o") == 0;
            std::fprintf(stderr, "vllink: %s \"%s\"\n", bare ? "a file name must follow" : "unknown option", argv[i]);
            return UsageError(PrintUsage);
        } else {
            inputs.push_back(argv[i]);
        }
    }
    if (output.empty() || inputs.size() != 2) return UsageError(PrintUsage);

    std::vector<uint8_t> player, applet, linked;
    for (int i = 0; i < 2; ++i) {
        std::string why;
        if (!ReadWholeFile(inputs[size_t(i)], i == 0 ? player : applet, &why)) {
            std::fprintf(stderr, "vllink: cannot read %s (%s)\n", inputs[size_t(i)].c_str(), why.c_str());
            return 1;
        }
    }
    std::string error;
    if (!LinkApplet(player, applet, linked, error)) {
        std::fprintf(stderr, "vllink: %s\n", error.c_str());
        return 1;
    }
    std::string why;
    if (!WriteWholeFile(output, linked, &why)) {
        std::fprintf(stderr, "vllink: cannot write %s (%s)\n", output.c_str(), why.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::permissions(output,
                                 std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                     std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add, ec);
    return 0;
}
