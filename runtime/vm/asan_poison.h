// Marks for memory the address sanitizer must report when touched: freed blocks kept for reuse, padding past an
// allocation. Without the sanitizer they compile to nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif
