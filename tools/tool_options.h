// What every command-line tool does first: --help (or -h) prints the usage to standard output and --version the
// version, both ending with status 0; a usage error prints the usage to standard error, status 2.
#pragma once

#include <cstdio>
#include <cstring>

// True when the command line asks for help or the version; *status is then the exit status.
inline bool AnswerHelpOrVersion(int argc, char **argv, const char *tool, void (*printUsage)(FILE *), int *status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", tool, VL_VERSION);
        } else {
            continue;
        }
        *status = 0;
        return true;
    }
    return false;
}

inline int UsageError(void (*printUsage)(FILE *)) {
    printUsage(stderr);
    return 2;
}
