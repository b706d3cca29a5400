// ARexx ports on Unix-domain stream sockets, served by one I/O thread that polls every socket and a wake pipe.
#include "host/rexx_port.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "host/rexx_frames.h"
#include "host/tasks.h"
#include "host/thread_stop.h"

namespace {

// A peer that has not sent a whole request by then is dropped, so a silent connection holds up nobody.
constexpr int64_t kRequestTimeoutMs = 5000;
// Bounds on what peers can make the program hold before the script takes it.
constexpr size_t kMaxIncomingConnections = 256;
constexpr size_t kMaxQueuedBytes = 64u << 20;
// How long shutdown waits for replies still going out.
constexpr int64_t kShutdownFlushMs = 1000;
// How long a send retries while the peer's backlog is full.
constexpr int64_t kConnectRetryMs = 2000;

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

enum Phase {
    kReading,    // incoming: the request; outgoing: the reply
    kWithScript, // incoming: queued or taken, waiting for the script's answer
    kWriting,    // incoming: the reply; outgoing: the request
};

struct Connection {
    uint64_t id = 0;
    int fd = -1;
    bool outgoing = false;
    Phase phase = kReading;
    RexxFrameReader reader{RexxFrameReader::kRequest};
    std::string out;
    size_t outPos = 0;
    int64_t deadline = 0;   // incoming, while reading
    uint32_t wakeMask = 0;  // outgoing
    RexxSendState state = kRexxSendPending;
};

struct PortState {
    std::timed_mutex mutex; // the main thread's side: LockUnlessParked
    std::thread thread;
    std::atomic<bool> threadReturned{false};
    int wakePipe[2] = {-1, -1};
    bool stopping = false;
    int64_t stopDeadline = 0;
    int listenFd = -1;
    std::string socketPath;
    std::list<Connection> connections;
    std::deque<RexxRequest> queue;
    size_t queuedBytes = 0;
    uint64_t nextId = 1;
};

PortState &State() {
    static PortState state;
    return state;
}

void Wake(PortState &s) {
    char byte = 1;
    if (s.wakePipe[1] >= 0) (void)!write(s.wakePipe[1], &byte, 1);
}

Connection *FindConnection(PortState &s, uint64_t id) {
    for (Connection &c : s.connections)
        if (c.id == id) return &c;
    return nullptr;
}

void CloseConnection(PortState &s, std::list<Connection>::iterator it) {
    close(it->fd);
    s.connections.erase(it);
}

// Outgoing: the reply came or the peer went; the sender's loop is woken to look.
void FinishSend(Connection &c, RexxSendState state) {
    c.state = state;
    close(c.fd);
    c.fd = -1;
    SignalMainTask(c.wakeMask);
}

void AcceptConnections(PortState &s) {
    size_t incoming = std::count_if(s.connections.begin(), s.connections.end(),
                                    [](const Connection &c) { return !c.outgoing; });
    while (incoming < kMaxIncomingConnections) {
        int fd = accept4(s.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        Connection c;
        c.id = s.nextId++;
        c.fd = fd;
        c.deadline = NowMs() + kRequestTimeoutMs;
        s.connections.push_back(std::move(c));
        incoming++;
    }
}

// Incoming: reads what is there; a whole request is queued for the script.
void ReadRequest(PortState &s, std::list<Connection>::iterator it) {
    uint8_t buffer[65536];
    for (;;) {
        ssize_t got = recv(it->fd, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) return CloseConnection(s, it);
        it->reader.Feed(buffer, size_t(got));
        if (it->reader.status == RexxFrameReader::kBad) return CloseConnection(s, it);
        if (it->reader.status == RexxFrameReader::kComplete) break;
    }
    RexxRequest request;
    request.action = it->reader.action;
    request.command = std::move(it->reader.body);
    if (s.queuedBytes + request.command.size() > kMaxQueuedBytes) return CloseConnection(s, it);
    s.queuedBytes += request.command.size();
    if (request.action & kRexxNoReturnFlag) {
        CloseConnection(s, it);
    } else {
        request.connection = it->id;
        it->phase = kWithScript;
    }
    s.queue.push_back(std::move(request));
    SignalMainTask(kSignalEvent);
}

// Outgoing: reads the reply frame.
void ReadReply(std::list<Connection>::iterator it) {
    uint8_t buffer[65536];
    for (;;) {
        ssize_t got = recv(it->fd, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) return FinishSend(*it, kRexxSendLost);
        it->reader.Feed(buffer, size_t(got));
        if (it->reader.status == RexxFrameReader::kBad) return FinishSend(*it, kRexxSendLost);
        if (it->reader.status == RexxFrameReader::kComplete) return FinishSend(*it, kRexxSendReplied);
    }
}

void WriteOut(PortState &s, std::list<Connection>::iterator it) {
    while (it->outPos < it->out.size()) {
        ssize_t put = send(it->fd, it->out.data() + it->outPos, it->out.size() - it->outPos, MSG_NOSIGNAL);
        if (put < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (put <= 0) {
            if (it->outgoing) return FinishSend(*it, kRexxSendLost);
            return CloseConnection(s, it);
        }
        it->outPos += size_t(put);
    }
    std::string().swap(it->out);
    if (!it->outgoing) return CloseConnection(s, it); // the reply is out: one request per connection
    it->phase = kReading;
    it->reader = RexxFrameReader(RexxFrameReader::kReply);
}

void IoThread() {
    pthread_setname_np(pthread_self(), "vl-rexx-io"); // visible in top and ps, and to tests
    PortState &s = State();
    const ReturnNotice notice{s.threadReturned};
    std::vector<pollfd> fds;
    std::vector<uint64_t> ids;
    std::unique_lock<std::timed_mutex> lock(s.mutex);
    for (;;) {
        int64_t now = NowMs();
        bool writing = std::any_of(s.connections.begin(), s.connections.end(),
                                   [](const Connection &c) { return c.fd >= 0 && c.phase == kWriting; });
        if (s.stopping && (!writing || now >= s.stopDeadline)) break;
        fds.assign(1, pollfd{s.wakePipe[0], POLLIN, 0});
        ids.assign(1, 0);
        // With every slot taken the listening socket is left out: waiting peers stay in the backlog, and a
        // readable socket that nobody accepts from would wake poll at once, over and over. A slot that frees
        // (a reply out, a peer gone or timed out) comes back through this loop.
        const size_t incoming = std::count_if(s.connections.begin(), s.connections.end(),
                                              [](const Connection &c) { return !c.outgoing; });
        if (s.listenFd >= 0 && incoming < kMaxIncomingConnections) {
            fds.push_back(pollfd{s.listenFd, POLLIN, 0});
            ids.push_back(0);
        }
        int64_t timeout = s.stopping ? s.stopDeadline - now : -1;
        for (auto it = s.connections.begin(); it != s.connections.end();) {
            Connection &c = *it;
            if (c.fd >= 0 && !c.outgoing && c.phase == kReading && now >= c.deadline) {
                CloseConnection(s, it++);
                continue;
            }
            if (c.fd >= 0 && c.phase != kWithScript) {
                fds.push_back(pollfd{c.fd, short(c.phase == kWriting ? POLLOUT : POLLIN), 0});
                ids.push_back(c.id);
                if (!c.outgoing && c.phase == kReading) {
                    int64_t left = c.deadline - now;
                    if (timeout < 0 || left < timeout) timeout = left;
                }
            }
            ++it;
        }
        lock.unlock();
        int ready = poll(fds.data(), fds.size(), int(std::min<int64_t>(timeout, 60000)));
        lock.lock();
        if (ready <= 0) continue;
        if (fds[0].revents) {
            char drain[64];
            while (read(s.wakePipe[0], drain, sizeof drain) > 0) {}
        }
        size_t first = 1;
        if (s.listenFd >= 0 && fds.size() > 1 && fds[1].fd == s.listenFd) {
            if (fds[1].revents) AcceptConnections(s);
            first = 2;
        }
        for (size_t i = first; i < fds.size(); i++) {
            if (!fds[i].revents) continue;
            auto it = std::find_if(s.connections.begin(), s.connections.end(),
                                   [&](const Connection &c) { return c.id == ids[i]; });
            // Gone, finished or handed back to the script meanwhile.
            if (it == s.connections.end() || it->fd != fds[i].fd) continue;
            if (it->phase == kWriting) {
                WriteOut(s, it);
            } else if (it->phase == kReading) {
                if (it->outgoing) ReadReply(it);
                else ReadRequest(s, it);
            }
        }
    }
    for (Connection &c : s.connections)
        if (c.fd >= 0) close(c.fd);
    s.connections.clear();
}

// Starts the I/O thread on first use; call with the lock held. False when no pipe could be made.
bool EnsureThread(PortState &s) {
    if (s.thread.joinable()) return true;
    if (pipe2(s.wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    s.stopping = false;
    s.threadReturned = false;
    s.thread = std::thread(IoThread);
    // exit() on the main thread (a library's error handler) must not destroy the thread while it runs.
    static const bool closeAtExit = atexit(CloseRexxPorts) == 0;
    (void)closeAtExit;
    return true;
}

bool PrivateDirectory(const std::string &path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

// The socket address of a port: 0, kErrMessagePort when the ports directory is unusable, -1 when the path does not
// fit.
int PortAddress(std::string_view port, sockaddr_un *address, std::string *path) {
    std::string directory;
    if (int error = RexxPortDirectory(&directory)) return error;
    *path = directory + "/" + RexxSocketFileName(port);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path->size() >= sizeof address->sun_path) return -1;
    std::memcpy(address->sun_path, path->c_str(), path->size() + 1);
    return 0;
}

// Connects without blocking: the fd, -1 when nobody listens there (*stale: a file is there but nobody accepts).
int ConnectPort(const sockaddr_un &address, int64_t retryMs, bool *stale) {
    *stale = false;
    int64_t giveUp = NowMs() + retryMs;
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) return fd;
        int error = errno;
        close(fd);
        if (error == ECONNREFUSED) *stale = true;
        // A full backlog: the port is alive but busy.
        if (error != EAGAIN || NowMs() >= giveUp) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

int RexxPortDirectory(std::string *path) {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base;
    if (runtime && *runtime) {
        base = std::string(runtime) + "/vistaloom";
    } else {
        std::error_code error;
        std::string temp = std::filesystem::temp_directory_path(error).string();
        if (error) temp = "/tmp";
        base = temp + "/vistaloom-" + std::to_string(geteuid());
    }
    *path = base + "/ports";
    return PrivateDirectory(base) && PrivateDirectory(*path) ? 0 : kErrMessagePort;
}

std::string RexxSocketFileName(std::string_view port) {
    bool plain = !port.empty() && port.size() <= 64 && port[0] != '.';
    for (char c : port)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) plain = false;
    if (plain) return std::string(port);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : port) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    char name[18];
    std::snprintf(name, sizeof name, "~%016llx", static_cast<unsigned long long>(hash));
    return name;
}

int OpenRexxPort(std::string_view name) {
    sockaddr_un address;
    std::string path;
    if (PortAddress(name, &address, &path)) return kErrMessagePort;
    bool stale;
    int probe = ConnectPort(address, 0, &stale);
    if (probe >= 0) {
        close(probe);
        return kErrPortExists;
    }
    if (stale) unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return kErrMessagePort;
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        int bindError = errno;
        close(fd);
        return bindError == EADDRINUSE ? kErrPortExists : kErrMessagePort; // another program won the race
    }
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    if (listen(fd, 64) != 0 || s.listenFd >= 0 || !EnsureThread(s)) {
        close(fd);
        unlink(path.c_str());
        return kErrMessagePort;
    }
    s.listenFd = fd;
    s.socketPath = path;
    Wake(s);
    return 0;
}

bool TakeRexxRequest(RexxRequest *out) {
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    if (s.queue.empty()) return false;
    *out = std::move(s.queue.front());
    s.queue.pop_front();
    s.queuedBytes -= out->command.size();
    return true;
}

void ReplyRexxRequest(const RexxRequest &request, int32_t rc, int32_t secondary, std::string_view result) {
    if (!request.connection) return;
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    Connection *c = FindConnection(s, request.connection);
    if (!c || c->phase != kWithScript) return;
    bool wantsResult = rc == 0 && (request.action & kRexxResultFlag);
    c->out = EncodeRexxReply(rc, secondary, wantsResult ? result : std::string_view());
    c->phase = kWriting;
    Wake(s);
}

int StartRexxSend(std::string_view port, uint32_t action, std::string_view command, uint32_t wakeMask,
                  uint64_t *send) {
    sockaddr_un address;
    std::string path;
    if (int error = PortAddress(port, &address, &path)) return error > 0 ? error : kErrPortNotFound;
    bool stale;
    int fd = ConnectPort(address, kConnectRetryMs, &stale);
    if (fd < 0) return kErrPortNotFound;
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    if (!EnsureThread(s)) {
        close(fd);
        return kErrMessagePort;
    }
    Connection c;
    c.id = s.nextId++;
    c.fd = fd;
    c.outgoing = true;
    c.phase = kWriting;
    c.out = EncodeRexxRequest(action, command);
    c.wakeMask = wakeMask;
    *send = c.id;
    s.connections.push_back(std::move(c));
    Wake(s);
    return 0;
}

RexxSendState PollRexxSend(uint64_t send, RexxReply *reply) {
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    auto it = std::find_if(s.connections.begin(), s.connections.end(),
                           [&](const Connection &c) { return c.id == send; });
    if (it == s.connections.end()) return kRexxSendLost;
    RexxSendState state = it->state;
    if (state == kRexxSendPending) return state;
    if (state == kRexxSendReplied) {
        reply->rc = it->reader.rc;
        reply->secondary = it->reader.secondary;
        reply->result = std::move(it->reader.body);
    }
    s.connections.erase(it); // its fd was closed when it finished
    return state;
}

void CancelRexxSend(uint64_t send) {
    PortState &s = State();
    const LockUnlessParked lock(s.mutex, s.thread.get_id());
    for (auto it = s.connections.begin(); it != s.connections.end(); ++it) {
        if (it->id != send) continue;
        if (it->fd >= 0) close(it->fd);
        s.connections.erase(it);
        return;
    }
}

int SendRexxNoReply(std::string_view port, std::string_view text, int timeoutMs) {
    sockaddr_un address;
    std::string path;
    if (PortAddress(port, &address, &path)) return -1;
    int64_t giveUp = NowMs() + timeoutMs;
    bool stale;
    int fd = ConnectPort(address, timeoutMs, &stale);
    if (fd < 0) return -1;
    std::string frame = EncodeRexxRequest(kRexxCommand | kRexxNoReturnFlag, text);
    size_t done = 0;
    while (done < frame.size()) {
        ssize_t put = send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        int64_t left = giveUp - NowMs();
        if ((put < 0 && errno != EAGAIN && errno != EINTR) || left <= 0) break;
        pollfd waitFd{fd, POLLOUT, 0};
        poll(&waitFd, 1, int(left));
    }
    close(fd);
    return done == frame.size() ? 0 : -1;
}

void CloseRexxPorts() {
    PortState &s = State();
    {
        const LockUnlessParked lock(s.mutex, s.thread.get_id());
        // The I/O thread parked at the end (an exit inside one of its socket calls) may hold the lock.
        if (LetGoOfThreadAtEnd(s.thread)) return;
        if (!s.thread.joinable()) return;
        // Requests already sent count as queued, even when the I/O thread has not read them yet.
        if (s.listenFd >= 0) AcceptConnections(s);
        for (auto it = s.connections.begin(); it != s.connections.end();) {
            auto next = std::next(it);
            if (!it->outgoing && it->phase == kReading) ReadRequest(s, it);
            it = next;
        }
        // Whatever the script has not answered never ran: say so rather than report success.
        for (auto it = s.connections.begin(); it != s.connections.end();) {
            if (it->outgoing || it->phase == kReading) {
                if (it->fd >= 0) close(it->fd);
                it = s.connections.erase(it);
                continue;
            }
            if (it->phase == kWithScript) {
                it->out = EncodeRexxReply(kRexxNotServedCode, 0, {});
                it->phase = kWriting;
            }
            ++it;
        }
        s.queue.clear();
        s.queuedBytes = 0;
        if (s.listenFd >= 0) {
            close(s.listenFd);
            unlink(s.socketPath.c_str());
            s.listenFd = -1;
        }
        s.stopping = true;
        s.stopDeadline = NowMs() + kShutdownFlushMs;
        Wake(s);
    }
    if (JoinUnlessParked(s.thread, s.threadReturned)) return;
    close(s.wakePipe[0]);
    close(s.wakePipe[1]);
    s.wakePipe[0] = s.wakePipe[1] = -1;
    s.stopping = false;
}
