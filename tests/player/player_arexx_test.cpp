// ARexx ports end to end: the real player against a small python peer (rexx_peer.py) that speaks the socket
// protocol, in a scratch XDG_RUNTIME_DIR.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

const std::string kPeer = VL_SOURCE_DIR "/tests/player/rexx_peer.py";

sockaddr_un SocketAddress(const std::string &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    return address;
}

// Whether something listens on the socket file: one that takes a connection, not a file that is merely there.
bool Listening(const std::string &path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = SocketAddress(path);
    const bool connected =
        fd >= 0 && connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return connected;
}

// A process in the background, its output in a file, killed when the test is done with it.
struct Background {
    pid_t pid = -1;
    Background(const std::vector<std::string> &arguments, const std::string &outFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char *> argv;
        for (const std::string &word : arguments) argv.push_back(const_cast<char *>(word.c_str()));
        argv.push_back(nullptr);
        posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    // The exit status, or -1 when it did not end within the time.
    int Wait(int seconds) {
        for (int i = 0; i < seconds * 50; i++) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    ~Background() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

struct ArexxFixture {
    ScratchDirectory dir;
    std::string runtime = dir.File("run");
    std::string ports = runtime + "/vistaloom/ports";
    std::vector<std::unique_ptr<Background>> peers;
    ArexxFixture() {
        std::filesystem::create_directories(ports);
        chmod(runtime.c_str(), 0700);
        chmod((runtime + "/vistaloom").c_str(), 0700);
        chmod(ports.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void Serve(const std::string &port, std::vector<std::string> options) {
        std::vector<std::string> words = {"python3", kPeer, "serve", port};
        words.insert(words.end(), options.begin(), options.end());
        peers.push_back(std::make_unique<Background>(words, dir.File("peer-" + port + ".out")));
    }
    // Runs the peer in the foreground and returns what it printed.
    std::string Peer(const std::vector<std::string> &arguments) {
        Background peer(arguments, dir.File("peer.out"));
        EXPECT_EQ(peer.Wait(60), 0) << ReadFileText(dir.File("peer.out"));
        return ReadFileText(dir.File("peer.out"));
    }
    // A port's file appears at its bind, before its listen, and a stale one is there from the start: wait
    // until it takes a connection. The probe sends nothing, and a port drops such a connection unanswered.
    void WaitForPorts(std::initializer_list<const char *> names) {
        for (const char *name : names)
            for (int i = 0; i < 6000 && !Listening(ports + "/" + name); i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string Compile(const std::string &script) {
        WriteBytes(dir.File("t.vla"), CompileToApplet(script, "t.vls", dir.path));
        return "t.vla";
    }
};

// Every outcome of a command is printed as "[result]" or "code message". The last error stays until the next
// one, so Error() sets a code the commands never give (1239) before each try.
const char kTry[] = "ExitOnError(False)\n"
                    "Function Try(f, ...)\n"
                    "    Error(\"none\")\n"
                    "    Local r = f(...)\n"
                    "    If r == Nil Then r = \"\" EndIf\n"
                    "    Local code = GetLastError()\n"
                    "    If code <> 1239 Then DebugPrint(code .. \" \" .. GetErrorName(code)) Else DebugPrint(\"[\" .. r .. \"]\") EndIf\n"
                    "EndFunction\n";

TEST(PlayerArexx, OpensPortsAndSendsCommands) {
    ArexxFixture f;
    f.Serve("PEER", {"--result", "OK", "--log", f.dir.File("peer.log")});
    f.Serve("EMPTY", {});
    f.Serve("FAIL", {"--rc", "5"});
    f.Serve("MUTE", {"--close"});
    f.Serve("TAKEN", {});
    f.Serve("REXX", {"--result", "R", "--log", f.dir.File("rexx.log")});
    f.Serve("RELAY", {"--result", "via:", "--relay", "my port"});
    f.WaitForPorts({"PEER", "EMPTY", "FAIL", "MUTE", "TAKEN", "REXX", "RELAY"});
    std::string script = std::string(kTry) +
                         "Function OnRexx(msg)\n"
                         "    If msg.command == \"table\" Then Return {} EndIf\n"
                         "    Return \"pong:\" .. msg.command\n"
                         "EndFunction\n"
                         "InstallEventHandler({OnARexx = OnRexx})\n"
                         "Try(CreateRexxPort, \"TAKEN\")\n"
                         "Try(CreateRexxPort, \"" + std::string(128, 'a') + "\")\n"
                         "Try(CreateRexxPort, \"my port\")\n"
                         "Try(CreateRexxPort, \"other\")\n"
                         "Try(SendRexxCommand, \"PEER\", \"hello there\")\n"
                         "Try(SendRexxCommand, \"EMPTY\", \"x\")\n"
                         "Try(SendRexxCommand, \"FAIL\", \"x\")\n"
                         "Try(SendRexxCommand, \"NOSUCH\", \"x\")\n"
                         "Try(SendRexxCommand, \"MUTE\", \"x\")\n"
                         "Try(RunRexxScript, \"say 1\")\n"
                         "Try(RunRexxScript, \"say 2\", True)\n"
                         "Try(SendRexxCommand, \"my port\", \"self\")\n"
                         "Try(SendRexxCommand, \"RELAY\", \"hello\")\n"
                         "Try(SendRexxCommand, \"my port\", \"table\")\n";
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", f.Compile(script)}, f.dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1260 There is already a port with the name TAKEN!\n"
                       "1055 Wrong usage/parameters for this command!\nRead the documentation!\n"
                       "[]\n"
                       "1055 Wrong usage/parameters for this command!\nRead the documentation!\n"
                       "[OK]\n"
                       "[]\n"
                       "1258 Rexx interpreter returned an error! (5/0)\n"
                       "1275 Port \"NOSUCH\" could not be found!\n"
                       "1275 Port \"MUTE\" could not be found!\n"
                       "[R]\n[R]\n"
                       "[pong:self]\n"
                       "[via:pong:hello]\n"
                       "1259 Callback function was expected to return a string!\n");
    EXPECT_EQ(ReadFileText(f.dir.File("peer.log")), "01060000 hello there\n");
    // The string flag is set exactly when the script asked for it.
    EXPECT_EQ(ReadFileText(f.dir.File("rexx.log")), "01020000 say 1\n01060000 say 2\n");
}

TEST(PlayerArexx, ServesPeersAndSurvivesHostileOnes) {
    ArexxFixture f;
    // A socket file nobody listens on any more.
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    const std::string stalePath = f.ports + "/VLRECV";
    const sockaddr_un address = SocketAddress(stalePath);
    ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    close(stale);
    f.Serve("DBG", {"--log", f.dir.File("debug.log")});
    f.WaitForPorts({"DBG"});
    std::string script = std::string(kTry) +
                         "Try(RunRexxScript, \"say 1\")\n"
                         "CreateRexxPort(\"VLRECV\")\n"
                         "done = False\n"
                         "Function OnRexx(msg)\n"
                         "    DebugPrint(\"got\", msg.command, msg.argc, msg.rawargs)\n"
                         "    If msg.command == \"table\" Then Return {} EndIf\n"
                         "    If msg.command == \"quit\" Then done = True EndIf\n"
                         "    Return \"ok:\" .. msg.command\n"
                         "EndFunction\n"
                         "InstallEventHandler({OnARexx = OnRexx})\n"
                         "While Not done\n"
                         "    WaitEvent()\n"
                         "Wend\n"
                         "Repeat\n"
                         "    Error(\"none\")\n"
                         "    OpenFile(1, \"" + f.dir.File("late.sent") + "\")\n"
                         "Until GetLastError() == 1239\n";
    Background player({VL_PLAYER_PATH, "-quiet", "-debugdevice", "@rexx:DBG", f.dir.File(f.Compile(script))},
                      f.dir.File("player.out"));
    f.WaitForPorts({"VLRECV"});
    Background silent({"python3", kPeer, "hostile", "VLRECV", "silent"}, f.dir.File("silent.out"));
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "VLRECV", "cmd a \"b c\""}), "0 0 ok:cmd\n");
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "VLRECV", "note", "--noreturn"}), "sent\n");
    for (const char *kind : {"big", "truncated", "random"})
        EXPECT_EQ(f.Peer({"python3", kPeer, "hostile", "VLRECV", kind}), "closed\n") << kind;
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "VLRECV", "table"}), "0 0 \n");
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "VLRECV", "quit"}), "0 0 ok:quit\n");
    // Queued after the script stopped serving: answered at shutdown as never run.
    Background late({"python3", kPeer, "send", "VLRECV", "late", "--flag", f.dir.File("late.sent")},
                    f.dir.File("late.out"));
    EXPECT_EQ(late.Wait(60), 0);
    EXPECT_EQ(ReadFileText(f.dir.File("late.out")), "20 0 \n");
    EXPECT_EQ(player.Wait(30), 0) << ReadFileText(f.dir.File("player.out"));
    // The player does not wait for its debug lines to be taken: the peer may still be writing the last.
    EXPECT_EQ(WaitForLines(f.dir.File("debug.log"), 5),
              "01100000 1257 ARexx server is not running!\n"
              "01100000 got cmd 2 a \"b c\"\n"
              "01100000 got note 0 \n"
              "01100000 got table 0 \n"
              "01100000 got quit 0 \n");
    EXPECT_FALSE(std::filesystem::exists(stalePath)) << "the socket file outlived the program";
    struct stat info;
    ASSERT_EQ(stat(f.ports.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::string output = ReadFileText(f.dir.File("player.out"));
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
    // A ports folder others may enter is refused rather than used.
    chmod(f.ports.c_str(), 0755);
    PlayerRun open = RunPlayer({"-quiet", "-debugdevice", "@stdout", f.Compile(std::string(kTry) + "Try(CreateRexxPort, \"X\")\n")},
                               f.dir.path);
    EXPECT_EQ(open.out, "1256 Could not create message port!\n");
    EXPECT_FALSE(std::filesystem::exists(f.ports + "/X"));
}

// The CPU time in clock ticks of the process's thread of that name (-1 when there is none).
long ThreadCpuTicks(pid_t pid, const std::string &name) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto &task : std::filesystem::directory_iterator(tasks)) {
        std::string comm, stat;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name) continue;
        std::getline(std::ifstream(task.path() / "stat"), stat);
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string word;
        long ticks = 0;
        for (int i = 3; i <= 15 && fields >> word; i++)
            if (i >= 14) ticks += std::stol(word); // user and system time
        return ticks;
    }
    return -1;
}

TEST(PlayerArexx, QueuesTakeTurnsAndFullSlotsIdle) {
    ArexxFixture f;
    const std::string flag = f.dir.File("flooded");
    std::string script = "CreateRexxPort(\"BUSY\")\n"
                         "log = \"\"\n"
                         "done = False\n"
                         "Function OnRexx(msg)\n"
                         "    If msg.command == \"quit\" Then done = True EndIf\n"
                         "    If msg.command == \"nul\" Then Return StrLen(msg.rawargs) .. \" \" .. msg.argc .. Chr(0) .. \"!\" EndIf\n"
                         "    If msg.command == \"req\" Then log = log .. \"r\"\n Wait(3) EndIf\n"
                         "    Return \"ok\"\n"
                         "EndFunction\n"
                         "InstallEventHandler({OnARexx = OnRexx})\n"
                         "Repeat\n    Wait(1)\nUntil Exists(\"" + flag + "\")\n"
                         "SetInterval(1, Function() log = log .. \"i\" EndFunction, 20)\n"
                         "While Not done\n    WaitEvent()\nWend\n"
                         "DebugPrint(log)\n";
    Background player({VL_PLAYER_PATH, "-quiet", "-debugdevice", "@stdout", f.dir.File(f.Compile(script))},
                      f.dir.File("player.out"));
    f.WaitForPorts({"BUSY"});
    // Thirty requests queued at once, each keeping its callback 60 ms: the interval still fires between them.
    EXPECT_EQ(f.Peer({"python3", kPeer, "flood", "BUSY", "30", flag}), "0\n");
    // Every slot taken by peers that say nothing, and more waiting in the backlog: the port idles meanwhile.
    Background hold({"python3", kPeer, "hold", "BUSY", "300", "4"}, f.dir.File("hold.out"));
    EXPECT_EQ(WaitForLines(f.dir.File("hold.out")), "holding\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long before = ThreadCpuTicks(player.pid, "vl-rexx-io");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long used = ThreadCpuTicks(player.pid, "vl-rexx-io") - before;
    ASSERT_GE(before, 0);
    EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 10) << "CPU ticks of the port's thread in one second with every slot taken";
    EXPECT_EQ(hold.Wait(60), 0);
    // A zero byte inside a command reaches the script with the rest of the command, and one in the reply goes out.
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "BUSY", "nul a\\0b c", "--escapes"}), std::string("0 0 5 2\0!\n", 10));
    EXPECT_EQ(f.Peer({"python3", kPeer, "send", "BUSY", "quit"}), "0 0 ok\n");
    EXPECT_EQ(player.Wait(30), 0);
    const std::string out = ReadFileText(f.dir.File("player.out"));
    const size_t lastRequest = out.rfind('r');
    ASSERT_NE(lastRequest, std::string::npos) << out;
    EXPECT_GE(std::count(out.begin(), out.begin() + lastRequest, 'i'), 10) << out;
    EXPECT_EQ(out.find("Sanitizer"), std::string::npos) << out;
}

} // namespace
