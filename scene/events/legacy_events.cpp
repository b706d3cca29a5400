#include "scene/events/legacy_events.h"

#include <strings.h>

#include "scene/events/event_state.h"
#include "scene/events/key_names.h"

LegacyEvent *LegacyEventList = nullptr;
int32_t ClickAllSwitch = 0, RightClickAllSwitch = 0, OverAllSwitch = 0, KeyDownAllSwitch = 0;

namespace {

void Append(LegacyEvent *row) {
    LegacyEvent **link = &LegacyEventList;
    while (*link) link = &(*link)->next;
    *link = row;
}

LegacyEvent *FirstRow(int32_t type, int32_t id) {
    for (LegacyEvent *row = LegacyEventList; row; row = row->next)
        if (row->type == type && row->id == id) return row;
    return nullptr;
}

void Unlink(LegacyEvent *row) {
    LegacyEvent **link = &LegacyEventList;
    while (*link && *link != row) link = &(*link)->next;
    if (*link) *link = row->next;
    // A running WhileMouseOn must not keep reading a freed row.
    if (LegacyOverRow == row) LegacyOverRow = nullptr;
    delete row;
}

bool Inside(const LegacyEvent *row, int32_t x, int32_t y) {
    return x >= row->x1 && x <= row->x2 && y >= row->y1 && y <= row->y2;
}

std::string Numbered(const char *prefix, int32_t id) { return std::string(prefix) + std::to_string(id); }

} // namespace

void CreateLegacyButton(int32_t id, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    for (int32_t type : {ONBUTTONOVER, ONBUTTONCLICK, ONBUTTONRIGHTCLICK}) {
        LegacyEvent *row = new LegacyEvent;
        row->type = type;
        row->id = id;
        row->x1 = x1, row->y1 = y1, row->x2 = x2, row->y2 = y2;
        Append(row);
    }
}

void ModifyLegacyButton(int32_t id, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    for (int32_t type : {ONBUTTONOVER, ONBUTTONCLICK, ONBUTTONRIGHTCLICK})
        if (LegacyEvent *row = FirstRow(type, id)) row->x1 = x1, row->y1 = y1, row->x2 = x2, row->y2 = y2;
}

void RemoveLegacyButton(int32_t id) {
    for (int32_t type : {ONBUTTONOVER, ONBUTTONCLICK, ONBUTTONRIGHTCLICK})
        if (LegacyEvent *row = FirstRow(type, id)) Unlink(row);
}

void CreateLegacyKeyDown(int32_t id, const std::string &key) {
    LegacyEvent *row = new LegacyEvent;
    row->type = ONKEYDOWN;
    row->id = id;
    row->key = key;
    Append(row);
}

void ModifyLegacyKeyDown(int32_t id, const std::string &key) {
    if (LegacyEvent *row = FirstRow(ONKEYDOWN, id)) {
        row->x1 = row->y1 = row->x2 = row->y2 = 0;
        row->key = key;
    }
}

void RemoveLegacyKeyDown(int32_t id) {
    if (LegacyEvent *row = FirstRow(ONKEYDOWN, id)) Unlink(row);
}

void SetLegacyEventEnabled(int32_t kind, int32_t id, int enable, int32_t *closeWindowFlag) {
    switch (kind) {
    case kLegacyCloseWindow:
        if (closeWindowFlag) *closeWindowFlag = enable;
        break;
    case kLegacyClickAll: ClickAllSwitch = enable; break;
    case kLegacyRightClickAll: RightClickAllSwitch = enable; break;
    case kLegacyOverAll: OverAllSwitch = enable; break;
    case kLegacyKeyDownAll: KeyDownAllSwitch = enable; break;
    default: break;
    }
    if (LegacyEvent *row = FirstRow(kind, id)) row->enabled = enable;
}

void ClearLegacyEvents() {
    while (LegacyEventList) Unlink(LegacyEventList);
}

int MatchLegacyEvent(const EventInfo &event, int32_t displayX, int32_t displayY, std::string *name) {
    std::string keyText;
    if (event.kind == kEventKey && event.down) keyText = LegacyKeyText(event.keyCode);
    for (LegacyEvent *row = LegacyEventList; row; row = row->next) {
        if (!row->enabled) continue;
        if (row->type == ONBUTTONCLICK && event.kind == kEventLeftMouse && event.down &&
            Inside(row, displayX, displayY)) {
            if (ClickAllSwitch) LegacyEventCode = row->id;
            *name = ClickAllSwitch ? "ONBUTTONCLICKALL" : Numbered("ONBUTTONCLICK", row->id);
            return 1;
        }
        if (row->type == ONBUTTONRIGHTCLICK && event.kind == kEventRightMouse && event.down &&
            Inside(row, displayX, displayY)) {
            if (RightClickAllSwitch) LegacyEventCode = row->id;
            *name = RightClickAllSwitch ? "ONBUTTONRIGHTCLICKALL" : Numbered("ONBUTTONRIGHTCLICK", row->id);
            return 1;
        }
        // A row without a key never matches (the key of a row can be lost to a failed copy elsewhere).
        if (row->type == ONKEYDOWN && !keyText.empty() && !row->key.empty() &&
            strcasecmp(row->key.c_str(), keyText.c_str()) == 0) {
            LegacyKeyCode = event.keyCode;
            if (KeyDownAllSwitch) LegacyEventCode = row->id;
            *name = KeyDownAllSwitch ? "ONKEYDOWNALL" : Numbered("ONKEYDOWN", row->id);
            return 1;
        }
    }
    return 0;
}

std::string LegacyOverLabel(const LegacyEvent *row) {
    return OverAllSwitch ? "ONBUTTONOVERALL" : Numbered("ONBUTTONOVER", row->id);
}
