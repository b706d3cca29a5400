// The player's entry point: the nineteen command libraries in their fixed registration order. A library whose
// descriptor header is not there yet gets a stub {name, no registration, no free-all}.
#include "runtime/app/startup.h"

#define VL_STUB(name) LibraryDescriptor{name, nullptr, nullptr}

#if __has_include("libs/string/string_library.h")
#include "libs/string/string_library.h"
#define VL_STRING kStringLibrary
#else
#define VL_STRING VL_STUB("string")
#endif
#if __has_include("libs/math/math_library.h")
#include "libs/math/math_library.h"
#define VL_MATH kMathLibrary
#else
#define VL_MATH VL_STUB("math")
#endif
#if __has_include("imaging/graphics_library.h")
#include "imaging/graphics_library.h"
#define VL_GRAPHICS kGraphicsLibrary
#else
#define VL_GRAPHICS VL_STUB("graphics")
#endif
#if __has_include("imaging/graphics_library.h") // declares the draw library's descriptor too
#define VL_DRAW kDrawLibrary
#elif __has_include("imaging/draw_library.h")
#include "imaging/draw_library.h"
#define VL_DRAW kDrawLibrary
#else
#define VL_DRAW VL_STUB("draw")
#endif
#if __has_include("scene/layers/moveobject_library.h")
#include "scene/layers/moveobject_library.h"
#define VL_MOVEOBJECT kMoveObjectLibrary
#else
#define VL_MOVEOBJECT VL_STUB("moveobject")
#endif
#if __has_include("libs/dos/dos_library.h")
#include "libs/dos/dos_library.h"
#define VL_DOS kDosLibrary
#else
#define VL_DOS VL_STUB("dos")
#endif
#include "scene/events/event_library.h"
#define VL_EVENT kEventLibrary
#if __has_include("libs/system/system_commands.h")
#include "libs/system/system_commands.h"
#define VL_SYSTEM kSystemLibrary
#else
#define VL_SYSTEM VL_STUB("system")
#endif
#if __has_include("scene/layers/layers_library.h")
#include "scene/layers/layers_library.h"
#define VL_LAYERS kLayersLibrary
#else
#define VL_LAYERS VL_STUB("layers")
#endif
#if __has_include("text/layout/text_library.h")
#include "text/layout/text_library.h"
#define VL_TEXT kTextLibrary
#else
#define VL_TEXT VL_STUB("text")
#endif
#if __has_include("media/anim_library.h")
#include "media/anim_library.h"
#define VL_ANIM kAnimLibrary
#else
#define VL_ANIM VL_STUB("anim")
#endif
#include "scene/display/display_library.h"
#define VL_DISPLAY kDisplayLibrary
#if __has_include("media/sound_library.h")
#include "media/sound_library.h"
#define VL_SOUND kSoundLibrary
#else
#define VL_SOUND VL_STUB("sound")
#endif
#include "scene/images/brush_library.h"
#define VL_BRUSH kBrushLibrary
#if __has_include("scene/images/bgpic_library.h")
#include "scene/images/bgpic_library.h"
#define VL_BGPIC kBGPicLibrary
#else
#define VL_BGPIC VL_STUB("bgpic")
#endif
#if __has_include("fx/transitionfx_library.h")
#include "fx/transitionfx_library.h"
#define VL_TRANSITIONFX kTransitionFxLibrary
#else
#define VL_TRANSITIONFX VL_STUB("transitionfx")
#endif
#if __has_include("scene/images/sprite_library.h")
#include "scene/images/sprite_library.h"
#define VL_SPRITE kSpriteLibrary
#else
#define VL_SPRITE VL_STUB("sprite")
#endif
#if __has_include("libs/memblock/memblock_library.h")
#include "libs/memblock/memblock_library.h"
#define VL_MEMBLOCK kMemBlockLibrary
#else
#define VL_MEMBLOCK VL_STUB("memblock")
#endif
#if __has_include("libs/arexx/arexx_library.h")
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
    return ProgramMain(argc, argv, libraries);
}
