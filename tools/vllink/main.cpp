// vllink: makes a stand-alone program from a player and an applet.  vllink -o program player applet
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/applet/link.h"
#include "tools/tool_options.h"

namespace {

// One read of the whole file: a player is tens of megabytes.
bool ReadFile(const std::string &name, std::vector<uint8_t> &bytes) {
    std::error_code ec;
    auto size = std::filesystem::file_size(name, ec);
    std::ifstream in(name, std::ios::binary);
    if (ec || !in) return false;
    bytes.resize(size);
    return in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(size)).gcount() == std::streamsize(size);
}

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
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            output = argv[++i];
        else if (argv[i][0] == '-')
            return UsageError(PrintUsage);
        else
            inputs.push_back(argv[i]);
    }
    if (output.empty() || inputs.size() != 2) return UsageError(PrintUsage);

    std::vector<uint8_t> player, applet, linked;
    for (int i = 0; i < 2; ++i) {
        if (!ReadFile(inputs[size_t(i)], i == 0 ? player : applet)) {
            std::fprintf(stderr, "vllink: cannot read %s\n", inputs[size_t(i)].c_str());
            return 1;
        }
    }
    std::string error;
    if (!LinkApplet(player, applet, linked, error)) {
        std::fprintf(stderr, "vllink: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(linked.data()), std::streamsize(linked.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "vllink: cannot write %s\n", output.c_str());
        return 1;
    }
    out.close();
    std::error_code ec;
    std::filesystem::permissions(output,
                                 std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                     std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add, ec);
    return 0;
}
