// Shared by the own-decoder fuzz targets: open the input in place, read it all in odd-sized blocks, seek, read
// again, close.
#pragma once

#include <vector>

#include "host/virtual_file.h"
#include "media/sound/sound_stream.h"
#include "tests/fuzz/fuzz_memory_name.h"

template <class Open> void FuzzOwnDecoder(const uint8_t *data, size_t size, Open open) {
    FuzzMemoryFile file(data, size);
    std::string name = file.MemoryName();
    SoundStream stream;
    if (!open(name.c_str(), &stream)) return;
    std::vector<uint8_t> buffer(size_t(777) * stream.frameBytes);
    int end = 0;
    while (!end && ReadSoundStream(&stream, buffer.data(), 777, &end) > 0) {
    }
    SeekSoundStream(&stream, stream.frameCount / 2);
    ReadSoundStream(&stream, buffer.data(), 777, &end);
    CloseVirtualFile(stream.file);
}
