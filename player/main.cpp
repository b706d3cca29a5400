// The player's entry point: the nineteen command libraries in their fixed registration order. player/CMakeLists.txt
// defines VL_HAVE_<LIBRARY> for each library whose descriptor header exists; the others get a stub
// {name, no registration, no free-all}.
#include "host/process_end.h"
#include "player/startup.h"

#include <cstdio>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#define VL_STUB(name) LibraryDescriptor{name, nullptr, nullptr}

#ifdef VL_HAVE_STRING
#include "libs/string/string_library.h"
#define VL_STRING kStringLibrary
#else
#define VL_STRING VL_STUB("string")
#endif
#ifdef VL_HAVE_MATH
#include "libs/math/math_library.h"
#define VL_MATH kMathLibrary
#else
#define VL_MATH VL_STUB("math")
#endif
#ifdef VL_HAVE_GRAPHICS
#include "imaging/graphics_library.h"
#define VL_GRAPHICS kGraphicsLibrary
#else
#define VL_GRAPHICS VL_STUB("graphics")
#endif
#ifdef VL_HAVE_DRAW
#include "imaging/graphics_library.h"
#define VL_DRAW kDrawLibrary
#else
#define VL_DRAW VL_STUB("draw")
#endif
#ifdef VL_HAVE_MOVEOBJECT
#include "scene/layers/moveobject_library.h"
#define VL_MOVEOBJECT kMoveObjectLibrary
#else
#define VL_MOVEOBJECT VL_STUB("moveobject")
#endif
#ifdef VL_HAVE_DOS
#include "libs/dos/dos_library.h"
#define VL_DOS kDosLibrary
#else
#define VL_DOS VL_STUB("dos")
#endif
#ifdef VL_HAVE_EVENT
#include "scene/events/event_library.h"
#define VL_EVENT kEventLibrary
#else
#define VL_EVENT VL_STUB("event")
#endif
#ifdef VL_HAVE_SYSTEM
#include "libs/system/system_commands.h"
#define VL_SYSTEM kSystemLibrary
#else
#define VL_SYSTEM VL_STUB("system")
#endif
#ifdef VL_HAVE_LAYERS
#include "scene/layers/layers_library.h"
#define VL_LAYERS kLayersLibrary
#else
#define VL_LAYERS VL_STUB("layers")
#endif
#ifdef VL_HAVE_TEXT
#include "text/layout/text_library.h"
#define VL_TEXT kTextLibrary
#else
#define VL_TEXT VL_STUB("text")
#endif
#ifdef VL_HAVE_ANIM
#include "media/anim_library.h"
#define VL_ANIM kAnimLibrary
#else
#define VL_ANIM VL_STUB("anim")
#endif
#ifdef VL_HAVE_DISPLAY
#include "scene/display/display_library.h"
#define VL_DISPLAY kDisplayLibrary
#else
#define VL_DISPLAY VL_STUB("display")
#endif
#ifdef VL_HAVE_SOUND
#include "media/sound_library.h"
#define VL_SOUND kSoundLibrary
#else
#define VL_SOUND VL_STUB("sound")
#endif
#ifdef VL_HAVE_BRUSH
#include "scene/images/brush_library.h"
#define VL_BRUSH kBrushLibrary
#else
#define VL_BRUSH VL_STUB("brush")
#endif
#ifdef VL_HAVE_BGPIC
#include "scene/images/bgpic_library.h"
#define VL_BGPIC kBGPicLibrary
#else
#define VL_BGPIC VL_STUB("bgpic")
#endif
#ifdef VL_HAVE_TRANSITIONFX
#include "fx/transitionfx_library.h"
#define VL_TRANSITIONFX kTransitionFxLibrary
#else
#define VL_TRANSITIONFX VL_STUB("transitionfx")
#endif
#ifdef VL_HAVE_SPRITE
#include "scene/images/sprite_library.h"
#define VL_SPRITE kSpriteLibrary
#else
#define VL_SPRITE VL_STUB("sprite")
#endif
#ifdef VL_HAVE_MEMBLOCK
#include "libs/memblock/memblock_library.h"
#define VL_MEMBLOCK kMemBlockLibrary
#else
#define VL_MEMBLOCK VL_STUB("memblock")
#endif
#ifdef VL_HAVE_AREXX
#include "libs/arexx/arexx_library.h"
#define VL_AREXX kArexxLibrary
#else
#define VL_AREXX VL_STUB("arexx")
#endif

int main(int argc, char **argv) {
    // Initialised here, not at namespace scope, so the descriptors of other files are already constructed.
    const LibraryDescriptor libraries[] = {VL_STRING,  VL_MATH,    VL_GRAPHICS, VL_DRAW,    VL_MOVEOBJECT,
                                           VL_DOS,     VL_EVENT,   VL_SYSTEM,   VL_LAYERS,  VL_TEXT,
                                           VL_ANIM,    VL_DISPLAY, VL_SOUND,    VL_BRUSH,   VL_BGPIC,
                                           VL_TRANSITIONFX, VL_SPRITE, VL_MEMBLOCK, VL_AREXX};
    static_assert(sizeof libraries / sizeof libraries[0] == 19);
    int code = ProgramMain(argc, argv, libraries);
    // Another thread that had to end the process handed the end over and waits for it (host/process_end.h).
    if (HandedEndStatus() > 0) code = HandedEndStatus();
    // The shutdown has stopped, closed and freed what the program holds. What exit would add is the destructors of
    // some sixty shared libraries, each touching pages of its own: about 0.8 MB of an empty applet's peak resident
    // set, for nothing. The output is flushed, and a sanitizer build still looks for leaks.
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
    _exit(code);
}
