// The animation datatype. TODO(datatype backend): decode other formats; until then they are unknown (1356) and
// LoadAnim takes them as pictures.
#include "media/anim/anim_file.h"

struct AnimDatatypeReader {};

AnimDatatypeReader *OpenAnimDatatype(const char *, int32_t *, int32_t *, int32_t *) { return nullptr; }
uint32_t *ReadAnimDatatypeFrame(AnimDatatypeReader *, int32_t) { return nullptr; }
int32_t GetAnimDatatypeFrameDelay(AnimDatatypeReader *, int32_t) { return 0; }
void CloseAnimDatatype(AnimDatatypeReader *reader) { delete reader; }
