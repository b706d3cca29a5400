#include "host/requester.h"

#include "host/screen.h"
#include "runtime/app/errors.h"

#include <algorithm>
#include <cstring>
#include <deque>

std::atomic<int> RequesterActive{0};

namespace {

RequesterBackend backend = nullptr;
std::deque<RequesterAnswer> scriptedAnswers;
std::vector<RequesterRequest> scriptedRequests;

int ScriptedBackend(const RequesterRequest &request, RequesterAnswer *answer) {
    scriptedRequests.push_back(request);
    if (scriptedAnswers.empty()) return kErrOutOfMemory;
    *answer = scriptedAnswers.front();
    scriptedAnswers.pop_front();
    return 0;
}

int Run(const RequesterRequest &request, RequesterAnswer *answer) {
    RequesterActive++;
    int r = (backend ? backend : SystemRequesterBackend)(request, answer);
    RequesterActive--;
    return r;
}

std::string Text(const char *s) { return s ? s : ""; }

} // namespace

void SetRequesterBackend(RequesterBackend b) { backend = b; }

void UseScriptedRequesters() {
    ClearScriptedRequesters();
    backend = ScriptedBackend;
}
void QueueScriptedAnswer(const RequesterAnswer &answer) { scriptedAnswers.push_back(answer); }
const std::vector<RequesterRequest> &ScriptedRequests() { return scriptedRequests; }
void ClearScriptedRequesters() {
    scriptedAnswers.clear();
    scriptedRequests.clear();
}

int ShowEasyRequester(const char *title, const char *text, const char *buttons, int) {
    RequesterRequest request;
    request.kind = RequesterEasy;
    request.title = Text(title), request.text = Text(text), request.buttons = Text(buttons);
    RequesterAnswer answer;
    return Run(request, &answer) == 0 ? answer.button : -1;
}

int ShowScreenModeRequester(const char *title, const std::vector<ScreenMode> &modes, ScreenMode *chosen) {
    RequesterRequest request;
    request.kind = RequesterList;
    request.title = Text(title);
    request.text = "Select a screen mode";
    for (const ScreenMode &m : modes)
        request.items.push_back(std::to_string(m.width) + " x " + std::to_string(m.height) +
                                (m.refresh > 0 ? " at " + std::to_string(m.refresh) + " Hz" : ""));
    RequesterAnswer answer;
    if (int r = Run(request, &answer)) return r;
    if (!answer.ok || answer.button < 0 || size_t(answer.button) >= modes.size()) return kErrUserAbort;
    *chosen = modes[size_t(answer.button)];
    return 0;
}

int ShowSystemRequester(VMState *, const char *title, const char *text, const char *buttons, int icon) {
    RequesterRequest request;
    request.kind = RequesterSystem;
    request.title = Text(title), request.text = Text(text), request.buttons = Text(buttons), request.icon = icon;
    RequesterAnswer answer;
    return Run(request, &answer) == 0 ? answer.button : -1;
}

int ShowFileRequester(VMState *, const char *title, const char *pattern, int mode, const char *drawer,
                      const char *file, FileRequestResult *out) {
    *out = FileRequestResult{};
    RequesterRequest request;
    request.kind = RequesterFile;
    request.title = Text(title), request.pattern = Text(pattern), request.mode = mode;
    request.drawer = Text(drawer), request.file = Text(file);
    RequesterAnswer answer;
    if (int r = Run(request, &answer)) return r;
    if (!answer.ok || answer.paths.empty()) return 0;
    // The drawer is the first file's directory; names of other directories keep their full path.
    const std::string &first = answer.paths.front();
    size_t slash = first.rfind('/');
    out->drawer = slash == std::string::npos ? "" : first.substr(0, slash == 0 ? 1 : slash);
    for (const std::string &path : answer.paths) {
        std::string name = path;
        if (!out->drawer.empty() && path.compare(0, out->drawer.size(), out->drawer) == 0) {
            name = path.substr(out->drawer.size());
            if (!name.empty() && name[0] == '/') name.erase(0, 1);
        }
        out->names.insert(out->names.end(), name.begin(), name.end());
        out->names.push_back('\0');
        out->count++;
    }
    out->ok = 1;
    return 0;
}

int ShowPathRequester(VMState *, const char *title, int mode, const char *drawer, std::string *outPath) {
    if (outPath) outPath->clear();
    RequesterRequest request;
    request.kind = RequesterPath;
    request.title = Text(title), request.mode = mode, request.drawer = Text(drawer);
    RequesterAnswer answer;
    if (int r = Run(request, &answer)) return r;
    if (answer.ok && !answer.paths.empty() && outPath) *outPath = answer.paths.front();
    return 0;
}

int ShowStringRequester(VMState *, const char *title, const char *text, const char *defaultText, int,
                        int maxLength, int password, char *answerBuffer) {
    answerBuffer[0] = '\0';
    RequesterRequest request;
    request.kind = RequesterString;
    request.title = Text(title), request.text = Text(text), request.defaultText = Text(defaultText);
    request.maxLength = std::clamp(maxLength <= 0 ? kRequesterAnswerSize - 1 : maxLength, 0,
                                   kRequesterAnswerSize - 1);
    request.password = password != 0;
    RequesterAnswer answer;
    if (int r = Run(request, &answer)) return r;
    // The buffer holds 1024 bytes and a terminator, whatever the requester program returned.
    size_t n = std::min(answer.text.size(), size_t(request.maxLength));
    std::memcpy(answerBuffer, answer.text.data(), n);
    answerBuffer[n] = '\0';
    return answer.ok ? 0 : kErrUserAbort;
}
