// Modifier keys as a display's program reads them: the key names and the host's qualifier bits must agree, or a
// held key never reads as down.
#include <cstring>

#include "host/keys.h"
#include "scene/events/event_commands.h"
#include "scene/events/key_names.h"
#include "tests/scene/display_open_fixture.h"

namespace {

struct DisplayModifierKeysTest : displaytest::DisplayTest {
    void TearDown() override {
        InjectQualifierKeys(0);
        DisplayTest::TearDown();
    }
    // IsKeyDown of a key name: 1 or 0, or -1 when the command failed.
    double IsKeyDown(const char *name) {
        PushNativeFunction(vm, CmdIsKeyDown, "IsKeyDown");
        PushString(vm, name);
        const int top = GetTop(vm) - 2;
        const int code = ProtectedCall(vm, 1, 1, 0);
        const double down = code == 0 && ValueType(vm, -1) == TNUMBER ? VMToNumber(vm, -1) : -1;
        SetTop(vm, top);
        return down;
    }
    static uint32_t Named(const char *name) { return LookupKeyArgument(name, std::strlen(name), 1); }
};

TEST_F(DisplayModifierKeysTest, RightControlHeldReadsAsDown) {
    InjectQualifierKeys(kQualifierRightControl);
    EXPECT_EQ(IsKeyDown("RCONTROL"), 1);
}

TEST_F(DisplayModifierKeysTest, RightControlHeldIsNotLeftControl) {
    InjectQualifierKeys(kQualifierRightControl);
    EXPECT_EQ(IsKeyDown("LCONTROL"), 0);
}

TEST_F(DisplayModifierKeysTest, LeftControlHeldIsNotRightControl) {
    InjectQualifierKeys(kQualifierControl);
    EXPECT_EQ(IsKeyDown("LCONTROL"), 1);
    EXPECT_EQ(IsKeyDown("RCONTROL"), 0);
}

TEST_F(DisplayModifierKeysTest, ModifierNamesAreTheHostsQualifierBits) {
    EXPECT_EQ(Named("LSHIFT"), kQualifierAlways | kQualifierLeftShift);
    EXPECT_EQ(Named("RSHIFT"), kQualifierAlways | kQualifierRightShift);
    EXPECT_EQ(Named("LALT"), kQualifierAlways | kQualifierLeftAlt);
    EXPECT_EQ(Named("RALT"), kQualifierAlways | kQualifierRightAlt);
    EXPECT_EQ(Named("LCOMMAND"), kQualifierAlways | kQualifierLeftCommand);
    EXPECT_EQ(Named("RCOMMAND"), kQualifierAlways | kQualifierRightCommand);
    EXPECT_EQ(Named("LCONTROL"), kQualifierAlways | kQualifierControl);
    EXPECT_EQ(Named("RCONTROL"), kQualifierAlways | kQualifierRightControl);
}

} // namespace
