// The face files come in with .incbin: a byte array in a generated source would cost a 1 MB compile per face.
#include "text/fonts/builtin_faces.h"

#define VL_EMBED_FACE(symbol, path)                                                                            \
    __asm__(".section .rodata\n.global " #symbol "\n.balign 16\n" #symbol ":\n.incbin \"" path "\"\n.previous\n")

VL_EMBED_FACE(vl_face_vera_sans, VL_VERA_SANS);
VL_EMBED_FACE(vl_face_vera_serif, VL_VERA_SERIF);
VL_EMBED_FACE(vl_face_vera_mono, VL_VERA_MONO);

extern "C" const uint8_t vl_face_vera_sans[], vl_face_vera_serif[], vl_face_vera_mono[];

const BuiltinFace kBuiltinFaces[3] = {
    {"Bitstream Vera Sans", vl_face_vera_sans, 65932},
    {"Bitstream Vera Serif", vl_face_vera_serif, 60280},
    {"Bitstream Vera Sans Mono", vl_face_vera_mono, 49224},
};
