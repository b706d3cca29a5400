// The entry point of every test binary: gtest's own, except that a run whose tests all passed but some skipped
// ends with kSkipStatus, which ctest counts as a skip (register_gtests.cmake). ctest runs a suite's cases in
// groups, one process each; a case that skips inside a group would otherwise pass for the whole group, and a
// skip under CI, where everything is installed, hides a test that should have run.
#include <gtest/gtest.h>

namespace {
constexpr int kSkipStatus = 77;
}

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (status == 0 && testing::UnitTest::GetInstance()->skipped_test_count() > 0) return kSkipStatus;
    return status;
}
