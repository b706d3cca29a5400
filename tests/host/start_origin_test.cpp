#include "host/start_origin.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(StartOrigin, ShellOrDesktopFromStreamsAndParent) {
    const struct {
        bool terminal;
        const char *parent;
        int expected;
    } cases[] = {
        {true, "gnome-shell", 1},  {true, "", 1},           {false, "bash", 1},       {false, "sh", 1},
        {false, "dash", 1},        {false, "fish", 1},      {false, "python3.12", 1}, {false, "cron", 1},
        {false, "ctest", 1},       {false, "make", 1},      {false, "tmux: server", 1},
        {false, "systemd", 0},     {false, "gnome-shell", 0}, {false, "plasmashell", 0}, {false, "nautilus", 0},
        {false, "gio-launch-desk", 0}, {false, "", 0},      {false, "bashful", 0},    {false, "kwin_x11", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DecideStartedFromShell(c.terminal, c.parent), c.expected) << c.terminal << " " << c.parent;
}

TEST(StartOrigin, ReportBoxOnlyFromTheDesktopWithADisplay) {
    int probes = 0;
    auto opens = [&] { return ++probes, true; };
    auto fails = [&] { return ++probes, false; };
    EXPECT_FALSE(ReportWantsMessageBox(1, opens));
    EXPECT_EQ(probes, 0); // a shell start never touches the video system
    EXPECT_TRUE(ReportWantsMessageBox(0, opens));
    EXPECT_FALSE(ReportWantsMessageBox(0, fails));
    EXPECT_EQ(probes, 2);
    // Under a headless driver no one could see a box, so none may block the run.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_FALSE(ReportWantsMessageBox(0, DesktopDisplayOpens));
}

} // namespace
