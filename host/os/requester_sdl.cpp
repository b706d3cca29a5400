#include "host/requester.h"
#include "runtime/app/errors.h"

#include <SDL.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitButtons(const std::string &buttons) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t bar = buttons.find('|', start);
        out.push_back(buttons.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

// Button ids follow the program's numbering: the rightmost is 0, the others 1, 2, ... from the left.
int MessageBox(const RequesterRequest &request, RequesterAnswer *answer) {
    std::vector<std::string> labels = SplitButtons(request.buttons.empty() ? "OK" : request.buttons);
    int n = int(labels.size());
    std::vector<SDL_MessageBoxButtonData> buttons(static_cast<size_t>(n), SDL_MessageBoxButtonData{});
    for (int i = 0; i < n; i++) {
        buttons[size_t(i)].buttonid = i == n - 1 ? 0 : i + 1;
        buttons[size_t(i)].text = labels[size_t(i)].c_str();
        buttons[size_t(i)].flags = 0;
    }
    buttons[0].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    buttons[size_t(n - 1)].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (request.icon) {
    case kRequesterIconWarning: flags |= SDL_MESSAGEBOX_WARNING; break;
    case kRequesterIconError: flags |= SDL_MESSAGEBOX_ERROR; break;
    default: flags |= SDL_MESSAGEBOX_INFORMATION; break;
    }
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.title = request.title.c_str();
    data.message = request.text.c_str();
    data.numbuttons = n;
    data.buttons = buttons.data();
    int chosen = 0;
    if (SDL_ShowMessageBox(&data, &chosen) != 0) return kErrOutOfMemory;
    answer->button = chosen < 0 ? 0 : chosen; // closing the box counts as the rightmost button
    return 0;
}

// Without zenity a list is a message box of the first few items, one button each, and a cancelling button.
constexpr size_t kListButtons = 8;

int ListMessageBox(const RequesterRequest &request, RequesterAnswer *answer) {
    RequesterRequest box = request;
    box.kind = RequesterEasy;
    box.buttons.clear();
    for (size_t i = 0; i < request.items.size() && i < kListButtons; i++) box.buttons += request.items[i] + "|";
    box.buttons += "Cancel";
    RequesterAnswer pressed;
    if (int r = MessageBox(box, &pressed)) return r;
    answer->ok = pressed.button > 0;
    answer->button = answer->ok ? pressed.button - 1 : 0;
    return 0;
}

} // namespace

int SystemRequesterBackend(const RequesterRequest &request, RequesterAnswer *answer) {
    if (request.kind == RequesterEasy || request.kind == RequesterSystem) return MessageBox(request, answer);
    if (request.kind == RequesterList && FindZenity().empty()) return ListMessageBox(request, answer);
    return ZenityRequester(request, answer);
}
