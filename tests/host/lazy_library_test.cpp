// Libraries opened at first use: a missing library or function gives a null table and one message, the first
// time only; a present one binds every function, looked up in each library in turn.
#include "host/os/lazy_library.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

// Declared only: no library has it.
extern "C" int vl_lazy_no_such_function(void);

namespace {

#define PRESENT_FUNCTIONS(X) X(getpid) X(strlen)
VL_LAZY_LIBRARY_TABLE(PresentTable, PRESENT_FUNCTIONS);
#define SECOND_LIBRARY_FUNCTIONS(X) X(getpid)
VL_LAZY_LIBRARY_TABLE(SecondLibraryTable, SECOND_LIBRARY_FUNCTIONS);
#define MISSING_SONAME_FUNCTIONS(X) X(getpid)
VL_LAZY_LIBRARY_TABLE(MissingSonameTable, MISSING_SONAME_FUNCTIONS);
#define MISSING_FUNCTION_FUNCTIONS(X) X(strlen) X(vl_lazy_no_such_function) X(getpid)
VL_LAZY_LIBRARY_TABLE(MissingFunctionTable, MISSING_FUNCTION_FUNCTIONS);
VL_LAZY_LIBRARY_TABLE(QuietTable, MISSING_FUNCTION_FUNCTIONS);

// Loads twice; what stderr got from each load.
template <typename Table>
std::pair<std::string, std::string> LoadTwice(std::initializer_list<const char *> sonames, const char *what,
                                              const Table **first, const Table **second) {
    testing::internal::CaptureStderr();
    *first = LoadLazyLibrary<Table>(sonames, what);
    std::string said = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    *second = LoadLazyLibrary<Table>(sonames, what);
    return {said, testing::internal::GetCapturedStderr()};
}

TEST(LazyLibrary, PresentLibraryBindsEveryFunction) {
    const PresentTable *a, *b;
    auto [said, again] = LoadTwice<PresentTable>({"libc.so.6"}, "Never said", &a, &b);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(said + again, "");
    EXPECT_EQ(a->getpid(), getpid());
    EXPECT_EQ(a->strlen("four"), 4u);
    // A function is found in a later library when an earlier one lacks it.
    const SecondLibraryTable *c, *d;
    auto [said2, again2] = LoadTwice<SecondLibraryTable>({"libm.so.6", "libc.so.6"}, "Never said", &c, &d);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->getpid(), getpid());
    EXPECT_EQ(said2 + again2, "");
}

TEST(LazyLibrary, MissingLibraryOrFunctionIsSaidOnceAndGivesNoTable) {
    const MissingSonameTable *a, *b;
    auto [said, again] = LoadTwice<MissingSonameTable>({"libc.so.6", "libvl-no-such-library.so.9"},
                                                       "Things cannot be read", &a, &b);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(said.rfind("Things cannot be read: ", 0), 0u) << said;
    EXPECT_NE(said.find("libvl-no-such-library.so.9"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(again, "");

    const MissingFunctionTable *c, *d;
    auto [said2, again2] = LoadTwice<MissingFunctionTable>({"libc.so.6"}, "Others cannot be read", &c, &d);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(said2, "Others cannot be read: vl_lazy_no_such_function is missing\n");
    EXPECT_EQ(again2, "");

    // Without a text nothing is said.
    const QuietTable *e, *f;
    auto [said3, again3] = LoadTwice<QuietTable>({"libc.so.6"}, nullptr, &e, &f);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(said3 + again3, "");
}

} // namespace
