#include "host/requester.h"

#include "host/subprocess.h"
#include "runtime/app/errors.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The system's patterns reduced to a shell glob zenity understands; alternatives and negation are dropped.
std::string GlobOf(const std::string &pattern) {
    if (pattern.find_first_of("(|~") != std::string::npos) return "";
    std::string glob;
    for (size_t i = 0; i < pattern.size(); i++) {
        if (pattern[i] == '#' && i + 1 < pattern.size() && pattern[i + 1] == '?') {
            glob += '*';
            i++;
        } else {
            glob += pattern[i];
        }
    }
    return glob;
}

} // namespace

std::string FindZenity() { return FindProgramOnPath("zenity"); }

int ZenityRequester(const RequesterRequest &request, RequesterAnswer *answer) {
    std::string zenity = FindZenity();
    if (zenity.empty()) {
        SetErrorArgString("zenity (file, path and string requesters)");
        return kErrCannotOpen;
    }
    std::vector<std::string> args;
    if (!request.title.empty()) args.push_back("--title=" + request.title);
    switch (request.kind) {
    case RequesterFile: {
        args.push_back("--file-selection");
        if (request.mode == kFileRequestSave) args.push_back("--save");
        if (request.mode == kFileRequestMultiple) args.push_back("--multiple");
        args.push_back("--separator=\n");
        std::string start = request.drawer;
        if (!start.empty() && start.back() != '/') start += '/';
        args.push_back("--filename=" + start + request.file);
        std::string glob = GlobOf(request.pattern);
        if (!glob.empty()) args.push_back("--file-filter=" + glob);
        break;
    }
    case RequesterPath:
        args.push_back("--file-selection");
        args.push_back("--directory");
        if (!request.drawer.empty()) args.push_back("--filename=" + request.drawer + "/");
        break;
    case RequesterString:
        args.push_back("--entry");
        if (!request.text.empty()) args.push_back("--text=" + request.text);
        args.push_back("--entry-text=" + request.defaultText);
        if (request.password) args.push_back("--hide-text");
        break;
    case RequesterList:
        // The hidden first column is the item's index, which zenity prints back.
        args.insert(args.end(), {"--list", "--hide-header", "--column=#", "--column=Mode", "--hide-column=1",
                                 "--print-column=1"});
        if (!request.text.empty()) args.push_back("--text=" + request.text);
        for (size_t i = 0; i < request.items.size(); i++) {
            args.push_back(std::to_string(i));
            args.push_back(request.items[i]);
        }
        break;
    default: return kErrOutOfMemory;
    }
    std::string output;
    int startError = 0;
    int status = RunHelperProgram(zenity, args, {}, &output, &startError);
    if (status < 0 || status > 1) {
        // Say why it did not start: a text over the system's argument limit (E2BIG) is not a missing program.
        SetErrorArgString(startError ? zenity + " (" + strerror(startError) + ")" : zenity);
        return kErrCannotOpen;
    }
    answer->ok = status == 0;
    if (!answer->ok) return 0;
    if (!output.empty() && output.back() == '\n') output.pop_back();
    if (request.kind == RequesterString) {
        answer->text = output;
        return 0;
    }
    if (request.kind == RequesterList) {
        char *end = nullptr;
        const long index = std::strtol(output.c_str(), &end, 10);
        answer->ok = end != output.c_str() && index >= 0 && size_t(index) < request.items.size();
        answer->button = answer->ok ? int32_t(index) : 0;
        return 0;
    }
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        if (end > start) answer->paths.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    answer->ok = !answer->paths.empty();
    return 0;
}
