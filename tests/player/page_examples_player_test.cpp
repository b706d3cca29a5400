// Every script example of the pages runs to its end in the real player without an error: the examples of the
// command reference (docs/commands/, which tools/reference writes from the rows' .example fields and
// CommandReference.PagesMatchTables keeps equal to them) and the fenced blocks marked vls in the other pages.
// Each runs in a folder of its own holding the files the examples name. The few that wait for a key or show a
// requester need a desktop: they run in the X11 pass (scripts/test --x11), where the keys are sent to the
// player's own windows only, so that the other tests on the display see none of them.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <sys/wait.h>

#include "tools/compiler/compile.h"

namespace fs = std::filesystem;

namespace {

struct Example {
    std::string page;    // relative to the source tree
    std::string section; // the heading above it: the command on a reference page
    std::string code;
};

std::vector<std::string> Pages() {
    const fs::path root = VL_SOURCE_DIR;
    std::vector<std::string> pages = {"README.md", "examples/README.md"};
    for (const auto &entry : fs::recursive_directory_iterator(root / "docs"))
        if (entry.path().extension() == ".md") pages.push_back(fs::relative(entry.path(), root).string());
    return pages;
}

std::vector<Example> PageExamples() {
    std::vector<Example> examples;
    for (const std::string &page : Pages()) {
        std::istringstream in(ReadFileText(std::string(VL_SOURCE_DIR) + "/" + page));
        std::string line, section;
        Example *open = nullptr;
        bool fenced = false; // inside a block not marked vls
        while (std::getline(in, line)) {
            if (open) {
                if (line == "```") open = nullptr;
                else open->code += line + "\n";
            } else if (line.rfind("```", 0) == 0) {
                if (line == "```vls" && !fenced) {
                    examples.push_back({page, section, ""});
                    open = &examples.back();
                } else {
                    fenced = !fenced;
                }
            } else if (!fenced && line.rfind("#", 0) == 0) {
                section = line.substr(line.find_first_not_of('#'));
                section.erase(0, section.find_first_not_of(' '));
            }
        }
    }
    return examples;
}

// The files the examples name, made from the test data.
void WriteFixtures(const std::string &dir) {
    static const std::pair<const char *, const char *> kCopies[] = {
        {"gfx/back.png", "tests/data/imaging/gradient.png"}, {"gfx/ship.png", "examples/gfx/gem.png"},
        {"gfx/logo.png", "examples/gfx/ball.png"},           {"next.png", "tests/data/imaging/texture.png"},
        {"walk.gif", "tests/data/media/dispose.gif"},        {"sfx/jump.wav", "tests/data/media/mono16.wav"},
        {"music/theme.mp3", "tests/data/media/layer3.mp3"},
    };
    for (const auto &[name, source] : kCopies) {
        fs::create_directories(fs::path(dir + "/" + name).parent_path());
        fs::copy_file(std::string(VL_SOURCE_DIR) + "/" + source, dir + "/" + name);
    }
    fs::create_directories(dir + "/data/maps");
    WriteText(dir + "/data/level1.txt", "3 4 5\n");
    WriteText(dir + "/data/level2.txt", "6 7 8\n");
    WriteText(dir + "/scores.txt", "Alice 120\nBob 95\n");
}

// The examples that wait for the user: the keys that answer them, the title of a requester window that must
// get them rather than the display, and the line the example prints last once its wait has seen the keys.
struct DesktopInput {
    const char *section;
    const char *keys;
    const char *requester;
    const char *lastLine = nullptr;
};
constexpr DesktopInput kDesktopInput[] = {
    {"WaitKeyDown", "space", nullptr},
    {"InstallEventHandler", "a Escape", nullptr, "Escape ended the loop\n"},
    {"InKeyStr", "A n n Return", nullptr},
    {"SystemRequest", "Return", "Quit"},
};

const DesktopInput *NeedsDesktop(const Example &example) {
    for (const DesktopInput &input : kDesktopInput)
        if (example.section == input.section) return &input;
    return nullptr;
}

// Runs the player on an X display of its own and sends the keys to its windows (and to the requester) every 0.2 s
// until it ends, as a key sent before the script waits for it may be dropped; after two minutes it is stopped. The
// display is its own because xdotool types a key to the focused window through XTEST, and on a shared display the
// focus may have gone to another test's player by then (an Escape there ends that test).
PlayerRun RunOnDesktop(const std::string &dir, const DesktopInput &input) {
    std::string windows = "$(xdotool search --pid $p 2>/dev/null)";
    if (input.requester)
        windows += " $(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\\(0x[0-9a-f]*\\) \"" +
                   std::string(input.requester) + "\".*/\\1/p')";
    const std::string script =
        "cd '" + dir + "' || exit 1; Xvfb -displayfd 3 -noreset -screen 0 640x480x24 -nolisten tcp 3>.display "
        "2>/dev/null & "
        "x=$!; i=0; while [ ! -s .display ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done; "
        "DISPLAY=:$(cat .display); export DISPLAY; "
        "env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy '" VL_PLAYER_PATH "' -quiet example.vla"
        " >.stdout 2>.stderr </dev/null & p=$!; i=0; "
        "while kill -0 $p 2>/dev/null && [ $i -lt 600 ]; do "
        "for w in " + windows + "; do xdotool key --window $w " + input.keys + " 2>/dev/null; done; "
        "sleep 0.2; i=$((i + 1)); done; kill $p 2>/dev/null; wait $p; s=$?; kill $x; wait $x; exit $s";
    const int status = std::system(script.c_str());
    PlayerRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileText(dir + "/.stdout");
    run.err = ReadFileText(dir + "/.stderr");
    return run;
}

TEST(PageExamplesPlayer, EveryExampleRunsToItsEnd) {
    const std::vector<Example> examples = PageExamples();
    int reference = 0, pages = 0;
    for (const Example &example : examples) (example.page.rfind("docs/commands/", 0) == 0 ? reference : pages)++;
    // Most rows have an example; a parser that found none would pass everything.
    EXPECT_GE(reference, 50);
    EXPECT_GE(pages, 8);
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    const bool desktop = driver && std::string(driver) == "x11" && std::getenv("DISPLAY");
    ScratchDirectory scratch;
    struct Job {
        const Example *example;
        const DesktopInput *input;
        std::string dir;
        PlayerRun run;
    };
    std::vector<Job> jobs;
    for (const Example &example : examples) {
        const DesktopInput *input = NeedsDesktop(example);
        if (!input == desktop) continue; // headless: the rest; on a desktop: those that wait for the user
        const std::string where = example.page + " " + example.section;
        const std::string dir = scratch.File("example" + std::to_string(jobs.size()));
        fs::create_directories(dir);
        WriteFixtures(dir);
        AppletContents contents;
        CompileError error;
        std::vector<uint8_t> applet;
        std::string message;
        if (!CompileApplet(example.code, "example.vls", dir, contents, error)) {
            ADD_FAILURE() << where << ": line " << error.line << ": " << error.message;
            continue;
        }
        if (!BuildAppletFile(contents, false, applet, message)) {
            ADD_FAILURE() << where << ": " << message;
            continue;
        }
        WriteBytes(dir + "/example.vla", applet);
        jobs.push_back({&example, input, dir, {}});
    }
    // Most of an example's time is spent waiting (the player's start, its waits), so headless runs go four at
    // once; the desktop ones one by one, each answered on its own.
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            Job &job = jobs[i];
            job.run = job.input ? RunOnDesktop(job.dir, *job.input) : RunPlayer({"-quiet", "example.vla"}, job.dir);
        }
    };
    std::vector<std::thread> workers;
    for (int n = 0; n < (desktop ? 1 : 4); n++) workers.emplace_back(work);
    for (std::thread &worker : workers) worker.join();
    for (const Job &job : jobs) {
        EXPECT_TRUE(job.run.exitCode == 0 && job.run.err.empty())
            << job.example->page << " " << job.example->section << ": status " << job.run.exitCode << "\n"
            << job.run.err << "the example:\n" << job.example->code;
        if (const char *last = job.input ? job.input->lastLine : nullptr) {
            EXPECT_TRUE(job.run.out.ends_with(last)) << job.example->section << " printed:\n" << job.run.out;
        }
    }
    EXPECT_FALSE(jobs.empty());
}

} // namespace
