// A VM with the event library on a virtual clock, a display with a picture and a window record that is never
// opened (the tests set its input state the way the pump would), and native callbacks that record their
// messages.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/input.h"
#include "host/tasks.h"
#include "host/window.h"
#include "runtime/app/command.h"
#include "host/event_queue.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/vm.h"
#include "scene/display/display_list.h"
#include "scene/events/dispatch.h"
#include "scene/events/event_library.h"
#include "scene/events/event_state.h"
#include "scene/images/bgpic.h"

// One callback call: the message table's fields as text (numbers through the VM's number rule), in the order
// the table holds them.
struct RecordedMessage {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string Get(const std::string &key) const {
        for (const auto &f : fields)
            if (f.first == key) return f.second;
        return "<none>";
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto &f : fields) keys.push_back(f.first);
        return keys;
    }
};

// What the recording callback saw and does.
struct EventRecorder {
    std::vector<RecordedMessage> messages;
    int resultsToReturn = 0; // it returns 0, 1, 2, ... as results
    // Called inside the recording callback after the message is stored (may raise, free things, ...).
    void (*inside)(VMState *vm) = nullptr;
};
extern EventRecorder Recorder;

class EventFixture : public testing::Test {
protected:
    VMState *vm = nullptr;
    DisplayRecord *display = nullptr;

    void SetUp() override;
    void TearDown() override;

    // A display in DisplayList, open, with its own picture and an unopened window record.
    DisplayRecord *AddDisplay(int32_t number);
    void FreeTestDisplays();
    // A registry reference to the recording native callback.
    int32_t RecorderRef();
    // Sets a handler slot of a display (or a global slot) to the recorder.
    void SetHandler(DisplayRecord *d, int slot);
    // CheckEvent through the command; returns the message table's "triggered" and keeps the table's fields.
    int CheckEvent(RecordedMessage *table = nullptr);
    int WaitEvent(RecordedMessage *table = nullptr);
    // Queues an event as the pump does (window coordinates).
    void Click(DisplayRecord *d, int kind, int32_t x, int32_t y, int down) { QueueEvent(d, kind, x, y, down); }
    void AdvanceMs(int64_t ms) { AdvanceVirtualClock(ms * 1000); }
    // Runs a command handler with the given pushed arguments; returns its result code.
    int Call(NativeFn fn, std::initializer_list<double> numbers);
    std::vector<std::string> Actions() const;

private:
    std::vector<DisplayRecord *> displays_;
    std::vector<BGPic *> pictures_; // freed here; the display code does not own them
    int RunEventCommand(bool wait, RecordedMessage *table);
};

RecordedMessage ReadTable(VMState *vm, int index);
