#include "host/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/sysinfo.h>

void *AllocBlock(size_t size, int clear) {
    if (size == 0) return nullptr;
    return clear ? calloc(1, size) : malloc(size);
}

void FreeBlock(void *block) { free(block); }

uint64_t GetAvailableMemory(int) {
    if (FILE *meminfo = fopen("/proc/meminfo", "r")) {
        char line[256];
        while (fgets(line, sizeof line, meminfo)) {
            unsigned long long kilobytes;
            if (sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1) {
                fclose(meminfo);
                return static_cast<uint64_t>(kilobytes) * 1024;
            }
        }
        fclose(meminfo);
    }
    struct sysinfo info;
    if (sysinfo(&info) != 0) return 0;
    return static_cast<uint64_t>(info.freeram) * info.mem_unit;
}
