#include "tests/scene/events_fixture.h"

#include "scene/events/buttons.h"
#include "scene/events/event_commands.h"
#include "scene/events/legacy_events.h"
#include "scene/events/timed_callbacks.h"

EventRecorder Recorder;

namespace {

int64_t VirtualPumpClock() { return MonotonicMicroseconds(); }

std::string ValueText(VMState *vm, int index) {
    switch (ValueType(vm, index)) {
    case TNUMBER:
    case TSTRING: {
        size_t length = 0;
        PushValue(vm, index);
        const char *text = VMToString(vm, -1, &length);
        std::string s(text, length);
        SetTop(vm, -2);
        return s;
    }
    case TLIGHTHANDLE: return "handle";
    case TTABLE: return "table";
    case TFUNCTION: return "function";
    case TNIL: return "nil";
    default: return "other";
    }
}

int RecordingCallback(VMState *vm) {
    Recorder.messages.push_back(ReadTable(vm, 1));
    if (Recorder.inside) Recorder.inside(vm);
    for (int i = 0; i < Recorder.resultsToReturn; i++) PushNumber(vm, i);
    return Recorder.resultsToReturn;
}

} // namespace

RecordedMessage ReadTable(VMState *vm, int index) {
    RecordedMessage m;
    if (index < 0) index = GetTop(vm) + index + 1;
    PushNil(vm);
    while (NextPair(vm, index)) {
        m.fields.emplace_back(ValueText(vm, -2), ValueText(vm, -1));
        SetTop(vm, -2);
    }
    return m;
}

void EventFixture::SetUp() {
    ResetRuntimeGlobals();
    InstallVirtualClock(0);
    SetPumpClock(VirtualPumpClock);
    Recorder = EventRecorder{};
    vm = NewVMState();
    InitRuntimeSupport(vm);
    RegisterEventLibrary(vm);
    RemoveEvent(vm, -1, 1);
    display = AddDisplay(1);
    CurrentDisplay = display;
    CurrentBGPic = display->picture;
}

void EventFixture::TearDown() {
    FreeTestDisplays();
    FreeEventLists(vm);
    CurrentDisplay = nullptr;
    CurrentBGPic = nullptr;
    RemoveEvent(vm, -1, 1);
    FreeAllTimerRequests();
    CloseVMState(vm);
    ClearCommandRegistry();
    SetPumpClock(nullptr);
    RemoveVirtualClock();
    QuitRequested = 0;
}

DisplayRecord *EventFixture::AddDisplay(int32_t number) {
    DisplayRecord *d = new DisplayRecord;
    d->id = ObjectId{number, nullptr};
    d->state = DISPSTATE_OPEN;
    d->picture = new BGPic;
    pictures_.push_back(d->picture);
    d->picture->id = ObjectId{number, nullptr};
    d->hostWindow = new HostWindow;
    d->hostWindow->display = d;
    InsertDisplay(d);
    displays_.push_back(d);
    return d;
}

void EventFixture::FreeTestDisplays() {
    for (BGPic *picture : pictures_) {
        while (vlBGPicButton *b = picture->buttons) FreeButton(vm, picture, b);
        delete picture;
    }
    pictures_.clear();
    for (DisplayRecord *d : displays_) {
        DisplayRecord **link = &DisplayList;
        while (*link && *link != d) link = &(*link)->next;
        if (!*link) continue; // freed by the test through the display code
        *link = d->next;
        delete d->hostWindow;
        delete d;
    }
    displays_.clear();
}

int32_t EventFixture::RecorderRef() {
    PushNativeFunction(vm, RecordingCallback, "recorder");
    return MakeRef(vm, kRegistryIndex);
}

void EventFixture::SetHandler(DisplayRecord *d, int slot) {
    EventHandlerSlot &s = d ? d->handlers[slot] : GlobalEventHandlerSlots[slot];
    s.function = RecorderRef();
}

int EventFixture::Call(NativeFn fn, std::initializer_list<double> numbers) {
    // Arguments as a command sees them: a fresh frame holding only them.
    PushNativeFunction(vm, fn, "command");
    for (double n : numbers) PushNumber(vm, n);
    int top = GetTop(vm) - int(numbers.size()) - 1;
    int code = ProtectedCall(vm, int(numbers.size()), 0, 0);
    SetTop(vm, top);
    return code;
}

int EventFixture::RunEventCommand(bool wait, RecordedMessage *table) {
    PushNativeFunction(vm, wait ? CmdWaitEvent : CmdCheckEvent, wait ? "waitevent" : "checkevent");
    int top = GetTop(vm) - 1;
    int code = ProtectedCall(vm, 0, 1, 0);
    if (code) {
        SetTop(vm, top);
        return -code;
    }
    RecordedMessage m;
    int triggered = -1;
    if (ValueType(vm, -1) == TTABLE) {
        m = ReadTable(vm, -1);
        triggered = std::atoi(m.Get("triggered").c_str());
    }
    if (table) *table = m;
    SetTop(vm, top);
    return triggered;
}

int EventFixture::CheckEvent(RecordedMessage *table) { return RunEventCommand(false, table); }
int EventFixture::WaitEvent(RecordedMessage *table) { return RunEventCommand(true, table); }

std::vector<std::string> EventFixture::Actions() const {
    std::vector<std::string> actions;
    for (const RecordedMessage &m : Recorder.messages) actions.push_back(m.Get("action"));
    return actions;
}
