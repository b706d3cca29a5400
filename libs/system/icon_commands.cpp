// Desktop icon commands of the system library: icon type, default tool and tool types.
#include "libs/system/system_commands.h"

#include "host/icon.h"
#include "runtime/app/errors.h"

#include <string>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void PushText(VMState *vm, const std::string &text) { PushStringLen(vm, text.data(), text.size()); }

} // namespace

bool ParseToolType(const std::string &text, ToolTypeEntry *out) {
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) at++;
    if (at == text.size()) return false;
    out->enabled = text[at] != '(';
    if (!out->enabled) at++;
    out->key.clear();
    out->value.clear();
    size_t equals = text.find('=', at);
    if (equals == std::string::npos) {
        while (at < text.size() && !IsBlank(text[at]) && text[at] != ')') out->key += text[at++];
        return true;
    }
    for (; at < equals; at++)
        if (!IsBlank(text[at])) out->key += text[at];
    at = equals + 1;
    while (at < text.size() && IsBlank(text[at])) at++;
    if (at < text.size() && text[at] == '"') {
        size_t close = text.find('"', at + 1);
        out->value = text.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
        return true;
    }
    size_t end = text.find(')', at);
    out->value = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    while (!out->value.empty() && IsBlank(out->value.back())) out->value.pop_back();
    return true;
}

int CmdGetIconProperties(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string name = IconBaseName(CheckStringArg(vm, 1));
    IconFile *icon = nullptr;
    if (int r = LoadIcon(name.c_str(), &icon)) return r;
    IconInfo info;
    GetIconInfo(icon, &info);
    FreeIcon(icon);
    PushNumber(vm, info.type);
    NewTable(vm);
    int64_t index = 0;
    ToolTypeEntry entry;
    for (const std::string &text : info.toolTypes) {
        if (!ParseToolType(text, &entry)) break;
        NewTable(vm);
        PushText(vm, entry.key);
        SetField(vm, -2, "key");
        PushText(vm, entry.value);
        SetField(vm, -2, "value");
        PushNumber(vm, entry.enabled ? 1 : 0);
        SetField(vm, -2, "enabled");
        RawSetIndex(vm, -2, index++);
    }
    PushText(vm, info.type == kIconProject ? info.defaultTool : "");
    return 3;
}

int CmdSetIconProperties(VMState *vm) {
    CheckArgs(vm, 2, 4);
    std::string name = IconBaseName(CheckStringArg(vm, 1));
    int32_t type = CheckInt32Arg(vm, 2);
    std::string defaultTool = OptStringArg(vm, 4, "");
    std::vector<std::string> toolTypes;
    size_t textBytes = 0;
    if (GetTop(vm) >= 3 && ValueType(vm, 3) != TNIL) {
        CheckTableArg(vm, 3);
        for (int64_t i = 0;; i++) {
            RawGetIndex(vm, 3, i);
            if (ValueType(vm, -1) != TTABLE) break;
            if (toolTypes.size() == kMaxToolTypes) return kErrInternalLimit;
            int entry = GetTop(vm);
            RawGetField(vm, entry, "enabled");
            bool enabled = ValueType(vm, -1) == TNIL || CheckNumberField(vm, -1, "enabled") != 0;
            RawGetField(vm, entry, "key");
            if (ValueType(vm, -1) != TSTRING) return kErrWrongUsage;
            std::string text = enabled ? "" : "(";
            text += VMToString(vm, -1);
            RawGetField(vm, entry, "value");
            if (ValueType(vm, -1) == TSTRING || ValueType(vm, -1) == TNUMBER) {
                std::string value = VMToString(vm, -1);
                if (!value.empty()) text += "=" + value;
            }
            if (!enabled) text += ")";
            textBytes += text.size() + 1;
            if (textBytes > kMaxToolTypeBytes) return kErrInternalLimit;
            toolTypes.push_back(std::move(text));
            SetTop(vm, entry - 1);
        }
    }
    return SaveIconInfo(name.c_str(), type, type == kIconProject ? defaultTool.c_str() : "", toolTypes);
}
