// Legacy events: rectangles and keys whose activation makes the script jump to a label named after the event
// and the row's id (ONBUTTONCLICK3, ONKEYDOWN1, ...).
#pragma once

#include <cstdint>
#include <string>

#include "host/event_queue.h"

constexpr int32_t ONBUTTONOVER = 1;
constexpr int32_t ONBUTTONCLICK = 2;
constexpr int32_t ONKEYDOWN = 3;
constexpr int32_t ONBUTTONRIGHTCLICK = 5;

// EnableEvent / DisableEvent kinds that are switches.
constexpr int32_t kLegacyCloseWindow = 10;
constexpr int32_t kLegacyClickAll = 11;
constexpr int32_t kLegacyRightClickAll = 12;
constexpr int32_t kLegacyOverAll = 13;
constexpr int32_t kLegacyKeyDownAll = 14;

struct LegacyEvent {
    LegacyEvent *next = nullptr;
    int32_t type = 0;
    int32_t id = 0;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::string key; // ONKEYDOWN rows; an empty key never matches
    int32_t enabled = 1;
};

extern LegacyEvent *LegacyEventList;
extern int32_t ClickAllSwitch, RightClickAllSwitch, OverAllSwitch, KeyDownAllSwitch;

// CreateButton: three rows (over, click, right click) with the same id and rectangle.
void CreateLegacyButton(int32_t id, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void ModifyLegacyButton(int32_t id, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void RemoveLegacyButton(int32_t id);
void CreateLegacyKeyDown(int32_t id, const std::string &key);
void ModifyLegacyKeyDown(int32_t id, const std::string &key);
void RemoveLegacyKeyDown(int32_t id);
// EnableEvent (enable 1) / DisableEvent (0). closeWindowFlag receives the CLOSEWINDOW switch (may be null).
void SetLegacyEventEnabled(int32_t kind, int32_t id, int enable, int32_t *closeWindowFlag);
void ClearLegacyEvents();

// The label a queued event asks for, from the first enabled matching click, right-click or key row; sets
// LegacyEventCode (for ...ALL names) and LegacyKeyCode. x and y of mouse events are the display coordinates
// (after scaling). 1 with a name, else 0.
int MatchLegacyEvent(const EventInfo &event, int32_t displayX, int32_t displayY, std::string *name);
// The label of the legacy mouse-over step for row.
std::string LegacyOverLabel(const LegacyEvent *row);
