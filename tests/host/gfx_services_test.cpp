#include "host/charset.h"
#include "host/clipboard.h"
#include "host/joystick.h"
#include "host/memory.h"
#include "host/os/input_inject.h"
#include "host/requester.h"
#include "host/screen.h"
#include "host/tasks.h"
#include "host/virtual_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

class GfxClipboard : public ::testing::Test {
  protected:
    // No clipboard tool on the PATH: an xclip found there would put the image on the desktop's clipboard (and
    // stay behind serving it) whatever display the test runs on.
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("PATH", "", 1);
        ASSERT_EQ(EnsureVideo(), 0);
    }
    void TearDown() override {
        setenv("PATH", path.c_str(), 1);
        // Video start installed the SDL wait; later tests in this process expect the built-in one.
        SetPumpEventsFunction(nullptr);
        SetSystemWaitFunctions(nullptr, nullptr);
        WaitSystemSignalsTimeout(0, 0);
    }
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::string ReadText() {
        ClipboardData data;
        int kind = -1;
        EXPECT_EQ(ReadClipboard(&data, &kind), 0);
        std::string text = data.text ? data.text : "";
        FreeBlock(data.text);
        return text;
    }
};

TEST_F(GfxClipboard, TextRoundTripsWithLatin1Characters) {
    ClipboardData data;
    char text[] = "caf\xE9 \xFC\xDF \xA9";
    data.text = text;
    ASSERT_EQ(WriteClipboard(kClipboardText, &data), 0);
    EXPECT_EQ(ReadText(), std::string(text));
    int kind = -1;
    ASSERT_EQ(QueryClipboardType(&kind), 0);
    EXPECT_EQ(kind, kClipboardText);
}

TEST_F(GfxClipboard, WritingAnImageIsAnErrorAndKeepsTheText) {
    ClipboardData text;
    char t[] = "keep";
    text.text = t;
    ASSERT_EQ(WriteClipboard(kClipboardText, &text), 0);
    ClipboardData image;
    image.width = 2, image.height = 2;
    image.bitmap = AllocHostBitmap(2, 2);
    EXPECT_EQ(WriteClipboard(kClipboardImage, &image), kErrClipboardFormat);
    FreeHostBitmap(image.bitmap);
    EXPECT_EQ(ReadText(), "keep");
}

TEST_F(GfxClipboard, ReadingNonTextContentsReports1361) {
    InjectClipboardForeignContents();
    int kind = -1;
    ASSERT_EQ(QueryClipboardType(&kind), 0);
    EXPECT_EQ(kind, kClipboardOther);
    ClipboardData data;
    EXPECT_EQ(ReadClipboard(&data, &kind), 1361);
    EXPECT_EQ(data.text, nullptr);
    EXPECT_EQ(BlankClipboard(), 0); // a text write replaces the foreign contents
    EXPECT_EQ(ReadText(), " ");
}

TEST_F(GfxClipboard, ClipboardStreamReadsAndWritesLatin1) {
    VirtualFile *out = OpenVirtualFile(":::clipboard", kVirtualFileCreate);
    ASSERT_NE(out, nullptr);
    WriteVirtualFile(out, "na\xEFve", 5);
    ASSERT_EQ(CloseVirtualFile(out), 0);
    EXPECT_EQ(ReadText(), "na\xEFve");
    VirtualFile *in = OpenVirtualFile(":::clipboard", kVirtualFileRead);
    ASSERT_NE(in, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(ReadVirtualFile(in, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "na\xEFve");
    CloseVirtualFile(in);
}

TEST(GfxCharset, Utf8BecomesUtf32InTheCallersBufferWhenItFits) {
    const char *text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, é, €, 😀
    uint32_t buffer[16];
    uint32_t *chars;
    size_t count;
    int allocated;
    ASSERT_EQ(ConvertUtf8ToUtf32(text, std::strlen(text), 1, buffer, sizeof buffer, &chars, &count, &allocated), 0);
    EXPECT_EQ(chars, buffer);
    EXPECT_EQ(allocated, 0);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(chars[1], 0xE9u);
    EXPECT_EQ(chars[2], 0x20ACu);
    EXPECT_EQ(chars[3], 0x1F600u);
    ASSERT_EQ(ConvertUtf8ToUtf32(text, std::strlen(text), 1, buffer, 8, &chars, &count, &allocated), 0);
    EXPECT_EQ(allocated, 1);
    EXPECT_EQ(chars[3], 0x1F600u);
    FreeUtf32Text(chars);
}

TEST(GfxCharset, InvalidUtf8AndEncodingZeroFail) {
    uint32_t buffer[16], *chars;
    size_t count;
    int allocated;
    const char *bad[] = {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"};
    for (const char *b : bad)
        EXPECT_NE(ConvertUtf8ToUtf32(b, std::strlen(b), 1, buffer, sizeof buffer, &chars, &count, &allocated), 0)
            << b;
    EXPECT_NE(ConvertUtf8ToUtf32("abc", 3, 0, buffer, sizeof buffer, &chars, &count, &allocated), 0);
    EXPECT_EQ(allocated, 0);
}

TEST(GfxCharset, Latin1ConversionsReplaceWhatDoesNotFit) {
    EXPECT_EQ(Latin1ToUtf8("\xE9"), "\xC3\xA9");
    EXPECT_EQ(Utf8ToLatin1("\xC3\xA9\xE2\x82\xAC\xFF"), "\xE9??");
}

class GfxRequester : public ::testing::Test {
  protected:
    void SetUp() override { UseScriptedRequesters(); }
    void TearDown() override {
        ClearScriptedRequesters();
        SetRequesterBackend(nullptr);
    }
};

TEST_F(GfxRequester, EasyAndSystemRequestersReturnTheScriptedButton) {
    RequesterAnswer a;
    a.button = 2;
    QueueScriptedAnswer(a);
    EXPECT_EQ(ShowEasyRequester("T", "Text", "One|Two|Cancel", 0), 2);
    a.button = 0;
    QueueScriptedAnswer(a);
    EXPECT_EQ(ShowSystemRequester(nullptr, "S", "Sure?", "Yes|No", kRequesterIconWarning), 0);
    ASSERT_EQ(ScriptedRequests().size(), 2u);
    EXPECT_EQ(ScriptedRequests()[0].buttons, "One|Two|Cancel");
    EXPECT_EQ(ScriptedRequests()[1].icon, kRequesterIconWarning);
    EXPECT_EQ(ShowSystemRequester(nullptr, "S", "none left", "OK", 0), -1);
}

TEST_F(GfxRequester, FileRequesterSplitsDrawerAndNames) {
    RequesterAnswer a;
    a.ok = true;
    a.paths = {"/data/pics/a.png", "/data/pics/b c.png"};
    QueueScriptedAnswer(a);
    FileRequestResult result;
    ASSERT_EQ(ShowFileRequester(nullptr, "Pick", "#?.png", kFileRequestMultiple, "/data", "", &result), 0);
    EXPECT_EQ(result.ok, 1);
    EXPECT_EQ(result.drawer, "/data/pics");
    EXPECT_EQ(result.count, 2);
    EXPECT_EQ(std::string(result.names.begin(), result.names.end()), std::string("a.png\0b c.png\0", 14));
    EXPECT_EQ(ScriptedRequests()[0].pattern, "#?.png");
    QueueScriptedAnswer(RequesterAnswer{}); // cancelled
    ASSERT_EQ(ShowFileRequester(nullptr, "Pick", "", 0, "", "", &result), 0);
    EXPECT_EQ(result.ok, 0);
}

TEST_F(GfxRequester, PathRequesterGivesTheDirectoryOrEmpty) {
    RequesterAnswer a;
    a.ok = true;
    a.paths = {"/tmp/x"};
    QueueScriptedAnswer(a);
    std::string path;
    ASSERT_EQ(ShowPathRequester(nullptr, "Dir", 0, "/tmp", &path), 0);
    EXPECT_EQ(path, "/tmp/x");
    QueueScriptedAnswer(RequesterAnswer{});
    ASSERT_EQ(ShowPathRequester(nullptr, "Dir", 0, "/tmp", &path), 0);
    EXPECT_EQ(path, "");
}

TEST_F(GfxRequester, StringRequesterCutsToMaximumAndCancelIs1003) {
    RequesterAnswer a;
    a.ok = true;
    a.text = std::string(5000, 'x');
    QueueScriptedAnswer(a);
    char answer[kRequesterAnswerSize];
    ASSERT_EQ(ShowStringRequester(nullptr, "T", "Name?", "def", 0, 0, 1, answer), 0);
    EXPECT_EQ(std::strlen(answer), size_t(kRequesterAnswerSize - 1));
    EXPECT_TRUE(ScriptedRequests()[0].password);
    a.text = "abcdef";
    QueueScriptedAnswer(a);
    ASSERT_EQ(ShowStringRequester(nullptr, "T", "Name?", "", 0, 3, 0, answer), 0);
    EXPECT_STREQ(answer, "abc");
    QueueScriptedAnswer(RequesterAnswer{});
    EXPECT_EQ(ShowStringRequester(nullptr, "T", "Name?", "", 0, 10, 0, answer), 1003);
}

TEST_F(GfxRequester, RequesterActiveWhileShown) {
    SetRequesterBackend([](const RequesterRequest &, RequesterAnswer *a) {
        a->button = RequesterActive.load();
        return 0;
    });
    EXPECT_EQ(ShowEasyRequester("", "", "OK", 0), 1);
    EXPECT_EQ(RequesterActive.load(), 0);
}

// A stand-in zenity that picks "1280 x 720" by the index it was given with it, or cancels for the title "no".
TEST(GfxRequesterZenity, ListAnswersTheChosenIndexOrCancels) {
    char dir[] = "/tmp/vl-zenity-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string program = std::string(dir) + "/zenity", path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::ofstream(program) << "#!/bin/sh\n[ \"$1\" = --title=no ] && exit 1\n"
                              "i=; for a; do [ \"$a\" = \"1280 x 720\" ] && echo $i; i=$a; done\n";
    chmod(program.c_str(), 0755);
    setenv("PATH", dir, 1);
    RequesterRequest request;
    request.kind = RequesterList;
    request.items = {"640 x 480", "1280 x 720"};
    RequesterAnswer answer;
    EXPECT_EQ(ZenityRequester(request, &answer), 0);
    EXPECT_TRUE(answer.ok && answer.button == 1);
    request.title = "no";
    EXPECT_EQ(ZenityRequester(request, &answer), 0);
    EXPECT_FALSE(answer.ok);
    setenv("PATH", path.c_str(), 1);
    std::filesystem::remove_all(dir);
}

TEST(GfxRequesterZenity, MissingZenityIsAClearError) {
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    RequesterRequest request;
    request.kind = RequesterString;
    RequesterAnswer answer;
    EXPECT_EQ(ZenityRequester(request, &answer), 1025);
    setenv("PATH", saved.c_str(), 1);
}

TEST(GfxJoystick, PortsOutsideZeroToThreeAre1427AndEmptyPortsAre1385) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    int32_t direction = -1, buttons = -1;
    EXPECT_EQ(ReadJoystick(4, &direction, &buttons), kErrJoystickPort);
    EXPECT_EQ(ReadJoystick(-1, &direction, &buttons), kErrJoystickPort);
    int32_t count = -1;
    ASSERT_EQ(CountJoystickPorts(&count), 0);
    if (count < 4) {
        EXPECT_EQ(ReadJoystick(count, &direction, &buttons), kErrJoystickAcquire);
    }
}

} // namespace
