#include "host/path.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct AssignTable {
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> entries; // lower-cased device, directory
};

std::string Lower(const std::string &text) {
    std::string out = text;
    for (char &c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string TempDirectory() {
    const char *dir = getenv("TMPDIR");
    if (dir && *dir) return dir;
    return "/tmp";
}


AssignTable &Table() {
    static AssignTable *table = [] {
        auto *made = new AssignTable;
        std::string progdir = ExecutableDirectory();
        made->entries = {{"progdir", progdir}, {"t", TempDirectory()}, {"ram", TempDirectory()},
                         {"fonts", progdir + "/fonts"}, {"sys", "/"}};
        return made;
    }();
    return *table;
}

} // namespace

void SetAssign(const char *device, const char *directory) {
    if (!device) return;
    AssignTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::string key = Lower(device);
    for (size_t i = 0; i < table.entries.size(); ++i) {
        if (table.entries[i].first == key) {
            if (directory) table.entries[i].second = directory;
            else table.entries.erase(table.entries.begin() + static_cast<long>(i));
            return;
        }
    }
    if (directory) table.entries.emplace_back(key, directory);
}

std::string GetAssign(const char *device) {
    if (!device) return "";
    AssignTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::string key = Lower(device);
    for (auto &entry : table.entries)
        if (entry.first == key) return entry.second;
    return "";
}

int ResolveHostPath(const char *name, std::string *out) {
    if (!name) return 0;
    const char *colon = strchr(name, ':');
    const char *slash = strchr(name, '/');
    // A colon after the first slash belongs to a file name, not to a device.
    if (!colon || (slash && slash < colon)) {
        *out = name;
        return 1;
    }
    std::string device(name, static_cast<size_t>(colon - name));
    if (device.empty()) return 0; // ":name" is relative to a volume root we do not have
    std::string directory = GetAssign(device.c_str());
    if (directory.empty()) return 0;
    const char *rest = colon + 1;
    while (*rest == '/') ++rest;
    if (!*rest) {
        *out = directory;
        return 1;
    }
    *out = directory;
    if (out->back() != '/') *out += '/';
    *out += rest;
    return 1;
}

char *NormalizePath(const char *name, char *buffer, size_t size) {
    if (!buffer || size == 0) return buffer;
    std::string text = name ? name : "";
    for (char &c : text)
        if (c == '\\') c = '/';
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        // Drop "./" at the start of a component: it names the same directory.
        bool componentStart = i == 0 || text[i - 1] == '/' || text[i - 1] == ':';
        if (componentStart && text[i] == '.' && i + 1 < text.size() && text[i + 1] == '/') {
            i += 2;
            continue;
        }
        out += text[i++];
    }
    size_t n = out.size() < size - 1 ? out.size() : size - 1;
    memcpy(buffer, out.data(), n);
    buffer[n] = 0;
    return buffer;
}

int MakeTempFileName(char *buffer, size_t size) {
    if (!buffer || size < 2) return 0;
    std::string pattern = TempDirectory() + "/vistaloom-XXXXXX";
    if (pattern.size() + 1 > size) return 0;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return 0;
    close(fd);
    memcpy(buffer, name.data(), name.size());
    return 1;
}

int MakeTempFile(const char *suffix, std::string *name) {
    std::string ending = suffix ? suffix : "";
    std::string pattern = TempDirectory() + "/vistaloom-XXXXXX" + ending;
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back(0);
    int fd = mkstemps(text.data(), static_cast<int>(ending.size()));
    if (fd < 0) return -1;
    *name = text.data();
    return fd;
}

std::string ExecutableDirectory() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    char *slash = strrchr(path, '/');
    if (!slash) return ".";
    if (slash == path) return "/";
    *slash = 0;
    return path;
}
