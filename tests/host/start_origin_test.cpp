#include "host/start_origin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

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

// The rule of docs/starting.md, row by row: a box only for a desktop start whose output nothing collects and whose
// display opens; the display is probed only when everything else allows a box.
TEST(StartOrigin, ReportBoxOnlyWhenSomeoneCanAnswerIt) {
    using K = StreamKind;
    const struct {
        int shell;
        K output, error;
        bool opens;
        bool box;
        bool probed;
    } rules[] = {
        {0, K::Other, K::Other, true, true, true},        // desktop launcher, output to /dev/null or the journal
        {0, K::Other, K::Other, false, false, true},      // no display to show it on
        {1, K::Other, K::Other, true, false, false},      // a shell or a job runner started us
        {0, K::File, K::Other, true, false, false},       // output to a file: an unattended run
        {0, K::Other, K::File, true, false, false},
        {0, K::Pipe, K::Other, true, false, false},       // output read by another program
        {0, K::Other, K::Pipe, true, false, false},
        {0, K::Terminal, K::Other, true, false, false},
    };
    for (const auto &rule : rules) {
        int probes = 0;
        const bool box = ReportWantsMessageBox(rule.shell, rule.output, rule.error, [&] { return ++probes, rule.opens; });
        EXPECT_EQ(box, rule.box) << rule.shell << " " << int(rule.output) << " " << int(rule.error);
        EXPECT_EQ(probes, rule.probed ? 1 : 0);
    }
    // The streams' kinds as the player reads them.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_EQ(StreamKindOf(ends[1]), K::Pipe);
    close(ends[0]);
    close(ends[1]);
    FILE *file = tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(StreamKindOf(fileno(file)), K::File);
    fclose(file);
    const int null = open("/dev/null", O_WRONLY);
    EXPECT_EQ(StreamKindOf(null), K::Other);
    close(null);
    // Under a headless driver no one could see a box, so none may block the run.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_FALSE(ReportWantsMessageBox(0, K::Other, K::Other, DesktopDisplayOpens));
}

} // namespace
