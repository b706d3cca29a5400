// The event dispatch's state: the resumable pass, the global handler slots, and the sources that feed it besides
// the event queue (timers, sound events, ARexx messages).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tasks.h"
#include "host/event_queue.h"
#include "runtime/vm/vm.h"
#include "scene/display/display_record.h"

struct BGPic;
struct vlBGPicButton;
struct LegacyEvent;

// Callback kinds of a CallbackRequest.
constexpr int32_t kCallbackNone = 0;
constexpr int32_t kCallbackButton = 1;
constexpr int32_t kCallbackKey = 2;
constexpr int32_t kCallbackDisplay = 3;
constexpr int32_t kCallbackResized = 4;
constexpr int32_t kCallbackMoved = 5;
constexpr int32_t kCallbackInterval = 6;
constexpr int32_t kCallbackTimeout = 7;
constexpr int32_t kCallbackMouseMove = 8;
constexpr int32_t kCallbackSound = 9;
constexpr int32_t kCallbackARexx = 10;
constexpr int32_t kCallbackLegacyJump = 11;
constexpr int32_t kCallbackModeSwitch = 12;
constexpr int32_t kCallbackDropFiles = 13;

// Phases of the pass: where the next DispatchEvents call resumes.
enum DispatchPhase : uint32_t {
    kPhaseStart = 0,
    kPhaseTimers = 1,
    kPhaseSound = 2,
    kPhaseMouseMove = 3,
    kPhaseARexx = 4,
    kPhaseButtonStage = 5,
    kPhaseNextEntry = 6,
    kPhaseHoverButtons = 7,
    kPhaseHoverDisplays = 8,
};

struct EventState {
    uint32_t phase = kPhaseStart;
    TimerRequestNode *timerIterator = nullptr;
    EventInfo current;
    vlBGPicButton *buttonIterator = nullptr;
    vlBGPicButton *hoveredButton = nullptr;
    vlBGPicButton *pressedButton = nullptr;
    DisplayRecord *displayIterator = nullptr;
    DisplayRecord *hoverDisplay = nullptr; // the display whose buttons the hover step walks
    uint32_t rexxServed = 0;               // port messages handed to the script in this pass
};

struct CallbackRequest {
    DisplayRecord *display = nullptr;
    int32_t kind = kCallbackNone;
    BGPic *bgpic = nullptr;
    vlBGPicButton *button = nullptr;
    int32_t functionRef = -1, userdataRef = -1;
    const char *functionKey = nullptr; // set: the function is registry[functionRef][functionKey] (buttons)
    ObjectId objectId{};
    uint32_t qualifier = 0;
    int32_t x = 0, y = 0;
    std::string action;
    std::string keyText;
    int32_t timeMs = 0, starts = 0;
    std::string command;             // ARexx
    std::string reply;               // ARexx: the callback's answer
    bool hasReply = false;
    const std::vector<char> *dropList = nullptr;
    int32_t stackBase = 0;
};

// Exists from the library's registration to FreeEventLists; null outside.
extern EventState *TheEventState;

// The four global handlers: "onsampleloop", "onsampleend", "onmusicend", "onarexx".
constexpr int kGlobalHandlerCount = 4;
constexpr int kGlobalSampleLoop = 0;
constexpr int kGlobalSampleEnd = 1;
constexpr int kGlobalMusicEnd = 2;
constexpr int kGlobalARexx = 3;
extern EventHandlerSlot GlobalEventHandlerSlots[kGlobalHandlerCount];
extern const char *const GlobalEventHandlerNames[kGlobalHandlerCount];

// Legacy state shared by the dispatch and the legacy commands.
extern LegacyEvent *LegacyOverRow;
extern int32_t LegacyEventCode;
extern int32_t LegacyKeyCode;

// ---- Sources besides the queue (the sound and ARexx libraries install them; null: nothing pending) ----------
constexpr int32_t kSoundEventSampleEnd = 5;
constexpr int32_t kSoundEventSampleLoop = 6;
constexpr int32_t kSoundEventMusicEnd = 7;
struct SoundEvent {
    int32_t kind = 0;
    ObjectId id{};
    int32_t timeMs = 0;
    int32_t starts = 0;
};
// Takes the oldest sound event; 1 when one was taken.
extern int (*TakeSoundEventHook)(SoundEvent *out);
struct RexxMessage; // the ARexx library's message
extern RexxMessage *(*NextRexxMessageHook)();
// The whole command, zero bytes included.
extern std::string_view (*GetRexxCommandStringHook)(RexxMessage *message);
// Replies and releases the message.
extern void (*ReplyRexxMessageHook)(RexxMessage *message, std::string_view reply);
