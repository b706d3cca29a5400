// The system library's desktop services in the real player, with stand-ins for the desktop's helper programs.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

// Writes an executable shell script dir/name.
void WriteTool(const ScratchDirectory &dir, const std::string &name, const std::string &body) {
    WriteText(dir.File(name), "#!/bin/sh\n" + body);
    chmod(dir.File(name).c_str(), 0755);
}

PlayerRun RunApplet(const ScratchDirectory &dir, const std::string &script, const std::vector<std::string> &environment) {
    WriteBytes(dir.File("t.vla"), CompileToApplet(script, "t.vls", dir.path));
    return RunPlayer({"-quiet", "-debugdevice", "@stdout", "t.vla"}, dir.path, environment);
}

// Writes a sample file in dir with the independent writer.
void Python(const ScratchDirectory &dir, const std::string &kind, const std::string &arguments) {
    PlayerRun run = RunProgramCapture("/usr/bin/env", {"python3", VL_SOURCE_DIR "/tests/data/system/sample_files.py", kind, arguments}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

// SDL talks to D-Bus when a display is named, and libdbus keeps a buffer to the end.
const std::string kIgnoreDbusLeak = "LSAN_OPTIONS=suppressions=" VL_SOURCE_DIR "/tests/data/system/lsan.supp";

// A PNG's pixels as RGBA bytes (empty when it cannot be read).
std::vector<uint8_t> PngPixels(const std::string &path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

void ExpectClean(const PlayerRun &run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
}

TEST(SystemInPlayer, ClipboardTextAndImagesRoundTrip) {
    ScratchDirectory dir;
    // Keeps the image in a file beside itself, as the desktop's clipboard would.
    WriteTool(dir, "xclip",
              "store=\"$(dirname \"$0\")/clip.png\"\n"
              "case \"$*\" in\n"
              "  *TARGETS*) [ -f \"$store\" ] && echo image/png; exit 0 ;;\n"
              "  *-i*) cat > \"$store\"; readlink /proc/$$/fd/2 > \"$store.stderr\" ;;\n"
              "  *) [ -f \"$store\" ] && cat \"$store\" ;;\n"
              "esac\n");
    Python(dir, "png", "in.png");
    const std::string script =
        "Local s = \"caf\" .. Chr(233) .. \" \" .. Chr(255) .. Chr(160) .. \"!\"\n"
        "SetClipboard(#CLIPBOARD_TEXT, s)\n"
        "Local kind, text = GetClipboard()\n"
        "DebugPrint(PeekClipboard(), kind, text == s, StrLen(text))\n"
        "ClearClipboard()\n"
        "kind, text = GetClipboard()\n"
        "DebugPrint(kind, \"[\" .. text .. \"]\")\n"
        // The brush read back from the clipboard goes out again, so the stored PNG shows what was read.
        "LoadBrush(1, \"in.png\", {LoadAlpha = True})\n"
        "SetClipboard(#CLIPBOARD_IMAGE, 1)\n"
        "Local k, b = GetClipboard()\n"
        "DebugPrint(PeekClipboard(), k)\n"
        "FreeBrush(1)\n"
        "SetClipboard(#CLIPBOARD_IMAGE, b)\n";
    PlayerRun run = RunApplet(dir, script,
                              {"PATH=" + dir.path + ":/usr/bin:/bin", "DISPLAY=:99", "WAYLAND_DISPLAY=", kIgnoreDbusLeak});
    ExpectClean(run);
    EXPECT_EQ(run.out, "1 1 1 8\n1 [ ]\n2 2\n");
    std::vector<uint8_t> pixels = PngPixels(dir.File("in.png"));
    EXPECT_EQ(pixels.size(), 3 * 2 * 4u);
    EXPECT_EQ(PngPixels(dir.File("clip.png")), pixels);
    // The tool stays to serve the selection: it must not keep the player's standard error open.
    EXPECT_EQ(ReadFileText(dir.File("clip.png.stderr")), "/dev/null\n");

    // No clipboard tool: the image kind is refused, saying once on stderr what is missing, and the text stays.
    const std::string refused = "SetClipboard(#CLIPBOARD_TEXT, \"kept\")\nExitOnError(False)\n"
                                "SetClipboard(#CLIPBOARD_IMAGE, LoadBrush(Nil, \"in.png\"))\n"
                                "SetClipboard(#CLIPBOARD_IMAGE, LoadBrush(Nil, \"in.png\"))\n"
                                "DebugPrint(GetLastError())\nLocal k, t = GetClipboard()\nDebugPrint(k, t)\n";
    run = RunApplet(dir, refused, {"PATH=/usr/bin:/bin", "DISPLAY=", "WAYLAND_DISPLAY="});
    ExpectClean(run);
    EXPECT_EQ(run.out, "1361\n1 kept\n");
    EXPECT_EQ(run.err, "Images cannot go on the clipboard: there is no X11 or Wayland display (DISPLAY and "
                       "WAYLAND_DISPLAY are unset)\n");
    ScratchDirectory empty;
    run = RunApplet(dir, refused, {"PATH=" + empty.path, "DISPLAY=:99", "WAYLAND_DISPLAY=", kIgnoreDbusLeak});
    EXPECT_EQ(run.out, "1361\n1 kept\n");
    EXPECT_NE(run.err.find("Images cannot go on the clipboard: xclip is not on the PATH\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("clipboard: xclip"), run.err.rfind("clipboard: xclip")) << run.err;
}

TEST(SystemInPlayer, RequestersAndUrlsReachTheDesktopsPrograms) {
    ScratchDirectory dir;
    WriteTool(dir, "zenity", "echo \"$@\" > \"$(dirname \"$0\")/zenity.args\"\necho /picked/a.txt\n");
    WriteTool(dir, "xdg-open", "echo \"$1\" > \"$(dirname \"$0\")/opened.url\"\n");
    // No terminal on any stream, but started by a job runner (timeout, from a shell): a shell start.
    const std::string script = "DebugPrint(FileRequest(\"Keep\", \"#?.txt\", #REQ_SAVEMODE, \"/picked\", \"a.txt\"))\n"
                               "OpenURL(\"https://example.org/a?b=c\")\n"
                               "Local args, count, shell = GetCommandLine()\nDebugPrint(shell)\n"
                               // A text over the system's limit for one argument says so.
                               "Local long = \"x\"\nFor i = 1 To 18 long = long .. long Next\nExitOnError(False)\n"
                               "StringRequest(\"t\", long)\nDebugPrint(GetErrorName(GetLastError()))\n";
    PlayerRun run = RunApplet(dir, script, {"PATH=" + dir.path + ":/usr/bin:/bin"});
    ExpectClean(run);
    EXPECT_EQ(run.out, "/picked/a.txt\n1\nCannot open " + dir.File("zenity") + " (Argument list too long) !\n");
    std::vector<uint8_t> recorded = ReadFileBytes(dir.File("zenity.args"));
    std::string args(recorded.begin(), recorded.end());
    EXPECT_NE(args.find("--file-selection --save"), std::string::npos) << args;
    // SDL starts xdg-open without waiting for it, and its shell creates the file before it writes the line.
    EXPECT_EQ(WaitForLines(dir.File("opened.url")), "https://example.org/a?b=c\n");

    run = RunApplet(dir, "ExitOnError(False)\nOpenURL(\"https://example.org\")\nDebugPrint(GetLastError())\n"
                   "DebugPrint(FileRequest(\"x\", \"\"), GetLastError())\n",
              {"PATH=/nonexistent"});
    ExpectClean(run);
    EXPECT_EQ(run.out, "1025\nNil 1025\n");
}

TEST(SystemInPlayer, CatalogsFollowTheUsersLanguage) {
    ScratchDirectory dir(VL_BINARY_DIR); // the player is linked in
    std::filesystem::create_directories(dir.File("catalogs/deutsch"));
    Python(dir, "catalog", "catalogs/deutsch/app.catalog");
    std::vector<uint8_t> whole = ReadFileBytes(dir.File("catalogs/deutsch/app.catalog"));
    WriteBytes(dir.File("catalogs/deutsch/cut.catalog"), std::vector<uint8_t>(whole.begin(), whole.end() - 9));
    const std::string script = "OpenCatalog(\"app.catalog\")\n"
                               "DebugPrint(GetCatalogString(3, \"Hello world\"), GetCatalogString(9, \"nine\"))\n"
                               "CloseCatalog()\nDebugPrint(GetCatalogString(3, \"Hello world\"))\n"
                               "OpenCatalog(\"app.catalog\", 3)\n"
                               "DebugPrint(GetCatalogString(3, \"Hello world\"))\n"
                               "OpenCatalog(\"app.catalog\", 2)\n"
                               "DebugPrint(GetCatalogString(3, \"Hello world\"))\n"
                               "OpenCatalog(\"cut.catalog\")\n"
                               "DebugPrint(GetCatalogString(3, \"Hello world\"))\n"
                               "OpenCatalog(\"app.catalog\")\n";
    PlayerRun run = RunApplet(dir, script, {"LANG=de_DE.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="});
    ExpectClean(run);
    EXPECT_EQ(run.out, "Hallo Welt nine\nHello world\nHello world\nHallo Welt\nHello world\n");
    run = RunApplet(dir, "OpenCatalog(\"app.catalog\")\nDebugPrint(GetCatalogString(3, \"Hello world\"))\n",
              {"LANG=en_US.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="});
    EXPECT_EQ(run.out, "Hello world\n");

    // The player's own catalog, beside the player (a link, as /proc/self/exe names the file itself).
    std::error_code linked;
    std::filesystem::create_hard_link(VL_PLAYER_PATH, dir.File("vistaloom"), linked);
    if (linked) std::filesystem::copy_file(VL_PLAYER_PATH, dir.File("vistaloom"));
    std::filesystem::create_directories(dir.File("catalogs/deutsch/Vistaloom"));
    Python(dir, "program-catalog", "catalogs/deutsch/Vistaloom/Vistaloom.catalog");
    whole = ReadFileBytes(dir.File("catalogs/deutsch/Vistaloom/Vistaloom.catalog"));
    std::filesystem::create_directories(dir.File("catalogs/fr/Vistaloom"));
    WriteBytes(dir.File("catalogs/fr/Vistaloom/Vistaloom.catalog"), std::vector<uint8_t>(whole.begin(), whole.end() - 9));
    Python(dir, "png", "in.png");
    WriteBytes(dir.File("t.vla"), CompileToApplet("@BRUSH 1, \"in.png\"\n@DISPLAY {Width = 8, Height = 8}\n"
                                                  "DebugPrint(\"end\")\n", "t.vls", dir.path));
    const std::string german = "Lade Pinsel in.png...fertig\nAnzeige...fertig\nUnd los!\nend\n",
                      english = "Loading brush in.png...done\nPreparing display...done\nAnd Action!\nend\n";
    const struct {
        const char *language, *list;
        const std::string &expected;
    } cases[] = {{"de_DE.UTF-8", "", german}, {"en_US.UTF-8", "", english},
                 {"de_DE.UTF-8", "fr:de", english}}; // the first catalog found decides, and a damaged one is English
    for (const auto &c : cases) {
        run = RunProgramCapture(dir.File("vistaloom"), {"-debugdevice", "@stdout", "t.vla"}, dir.path,
                                {std::string("LANG=") + c.language, std::string("LANGUAGE=") + c.list, "LC_ALL=",
                                 "LC_MESSAGES="});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.expected) << c.language << " " << c.list;
    }
}

} // namespace
