// Minimal button operations the picture and display code need before the event code exists. TODO(events): each
// moves to its own code, which replaces it here.
#include <new>

#include "host/blit.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"

void (*FreeButtonHook)(BGPic *, vlBGPicButton *) = nullptr;

void FreeBGPicButton(BGPic *bgpic, vlBGPicButton *button) {
    if (FreeButtonHook) {
        FreeButtonHook(bgpic, button);
        return;
    }
    for (vlBGPicButton **link = &bgpic->buttons; *link; link = &(*link)->next) {
        if (*link == button) {
            *link = button->next;
            break;
        }
    }
    if (button->vm) {
        if (button->functionRef != -1) FreeRef(button->vm, kRegistryIndex, button->functionRef);
        if (button->userdataRef != -1) FreeRef(button->vm, kRegistryIndex, button->userdataRef);
    }
    delete button;
}

// Only the presses end: the hover bit stays, so a reset under a still mouse gives no second OnMouseOver.
void ResetButtonStates(BGPic *bgpic) {
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next) b->state &= ~kButtonPressedMask;
}
