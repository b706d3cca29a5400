// The picture saver's PNG, JPEG, GIF and ILBM formats, registered with the anim library.
#pragma once

void RegisterSnapshotEncoders();
