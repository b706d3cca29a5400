// Shapes, pixels and fills drawn into the current output, in each of its kinds, or made into shape layers.
#include "imaging/draw_services.h"
#include "scene/images/output.h"

void InstallShapeDrawing(DrawSceneServices *) {}
