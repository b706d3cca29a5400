// Files for tests: whole files read and written at once, and scratch directories that go when the test ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole file in one read of its size (the player executable is tens of megabytes); empty when unreadable.
std::vector<uint8_t> ReadFileBytes(const std::string &path);
std::string ReadFileText(const std::string &path);

// What another process writes to path: its text once it holds `lines` whole lines (the last ending in its
// newline), or what it holds when `seconds` have passed. The file's mere existence says nothing: its writer
// may create it well before it writes.
std::string WaitForLines(const std::string &path, size_t lines = 1, int seconds = 60);

// A write that fails (a full disk) fails the current test.
void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes);
void WriteText(const std::string &path, const std::string &text);

// A new empty directory under the temporary directory (or under parent), removed with everything in it on
// destruction. Copies of the player (tens of megabytes) go under the build folder: the temporary directory may be
// a small tmpfs, nearly full.
struct ScratchDirectory {
    std::string path;
    explicit ScratchDirectory(const std::string &parent = "");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;
    std::string File(const std::string &name) const { return path + "/" + name; }
};
