// Libraries only some applets need are opened with dlopen at their first use, so an applet that never needs one
// maps neither it nor the libraries behind it. The functions used form one X-macro list, made into a table
// whose members have the header's own types, so calls through it are checked as direct calls are:
//
//   #define VL_SNDFILE_FUNCTIONS(X) X(sf_open_virtual) X(sf_close)
//   VL_LAZY_LIBRARY_TABLE(SndfileFunctions, VL_SNDFILE_FUNCTIONS);
//   const SndfileFunctions *sf = LoadLazyLibrary<SndfileFunctions>({"libsndfile.so.1"}, "Sounds cannot be read");
//
// The table is loaded once per process; null when a library or a function is missing (said once on stderr, after
// the text given, unless it is null). Sonames are listed each before those that need it; a function is looked up
// in each library in turn.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <mutex>

struct LazySymbols {
    void *const *handles;
    size_t count;
    void *Find(const char *name) const;
};

// Binds a table's functions; the name of the first one missing, or null.
using LazyBinder = const char *(*)(void *table, const LazySymbols &symbols);

// Opens the libraries and binds the table; false (and every library closed again) on failure.
bool OpenLazyLibrary(std::initializer_list<const char *> sonames, const char *what, LazyBinder bind, void *table);

#define VL_LAZY_STRINGIFY(x) VL_LAZY_STRINGIFY2(x)
#define VL_LAZY_STRINGIFY2(x) #x
// Function names are expanded first: a header may rename a function by a macro (large-file variants).
#define VL_LAZY_MEMBER(function) decltype(&::function) function = nullptr;
#define VL_LAZY_BIND(function)                                                                                  \
    if (!(table->function = reinterpret_cast<decltype(&::function)>(symbols.Find(VL_LAZY_STRINGIFY(function))))) \
        return VL_LAZY_STRINGIFY(function);

#define VL_LAZY_LIBRARY_TABLE(Name, FUNCTIONS)                                                                   \
    struct Name {                                                                                              \
        FUNCTIONS(VL_LAZY_MEMBER)                                                                              \
        static const char *Bind(void *into, const LazySymbols &symbols) {                                     \
            Name *table = static_cast<Name *>(into);                                                           \
            FUNCTIONS(VL_LAZY_BIND)                                                                            \
            return nullptr;                                                                                    \
        }                                                                                                      \
    }

template <typename Table>
const Table *LoadLazyLibrary(std::initializer_list<const char *> sonames, const char *what) {
    static Table table;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [&] { loaded = OpenLazyLibrary(sonames, what, &Table::Bind, &table); });
    return loaded ? &table : nullptr;
}
