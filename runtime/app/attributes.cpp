#include "runtime/app/attributes.h"

#include <algorithm>
#include <vector>

#include "runtime/app/runtime_globals.h"

namespace {

std::vector<AttributeHook> g_getHooks;
std::vector<AttributeHook> g_setHooks;

void AddHook(std::vector<AttributeHook> &hooks, AttributeHook hook) {
    if (hook && std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

int AskHooks(const std::vector<AttributeHook> &hooks, VMState *vm, int tag, AttributeValue *value) {
    for (AttributeHook hook : hooks)
        if (hook(vm, tag, value)) return 1;
    return 0;
}

int ToFlag(double n) { return n != 0 ? 1 : 0; }

} // namespace

void AddGetAttributeHook(AttributeHook hook) { AddHook(g_getHooks, hook); }
void AddSetAttributeHook(AttributeHook hook) { AddHook(g_setHooks, hook); }

void RemoveAttributeHooks() {
    g_getHooks.clear();
    g_setHooks.clear();
}

int GetAttributeTags(VMState *vm, int tag, AttributeValue *value) {
    switch (tag) {
    case kAttrEventTimeout: value->numbers[0] = EventTimeoutMs; return 1;
    case kAttrQuietMode: value->numbers[0] = QuietMode; return 1;
    case kAttrPreloadActive: value->numbers[0] = PreloadActive; return 1;
    case kAttrExitOnErrorCount: value->numbers[0] = ExitOnErrorCount; return 1;
    case kAttrExitOnError: value->numbers[0] = ExitOnErrorSwitch; return 1;
    default: return AskHooks(g_getHooks, vm, tag, value);
    }
}

int SetAttributeTags(VMState *vm, int tag, AttributeValue *value) {
    double n = value->numbers[0];
    switch (tag) {
    case kAttrEventTimeout: EventTimeoutMs = n < 0 ? 0 : static_cast<int>(std::min(n, 2147483647.0)); return 1;
    case kAttrQuietMode: QuietMode = ToFlag(n); return 1;
    case kAttrPreloadActive: PreloadActive = ToFlag(n); return 1;
    case kAttrExitOnErrorCount:
        // Never below zero: an unbalanced "leave" must not make later callbacks lenient.
        if (n != 0) ExitOnErrorCount++;
        else if (ExitOnErrorCount > 0) ExitOnErrorCount--;
        return 1;
    case kAttrExitOnError: ExitOnErrorSwitch = ToFlag(n); return 1;
    default: return AskHooks(g_setHooks, vm, tag, value);
    }
}

int SetAttributeNumber(VMState *vm, int tag, double number) {
    AttributeValue value;
    value.numbers[0] = number;
    return SetAttributeTags(vm, tag, &value);
}

double GetAttributeNumber(VMState *vm, int tag, double fallback) {
    AttributeValue value;
    return GetAttributeTags(vm, tag, &value) ? value.numbers[0] : fallback;
}
