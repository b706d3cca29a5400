#include "tests/support/files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

namespace {

template <class Bytes> Bytes ReadWhole(const std::string &path) {
    Bytes bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error) {
        bytes.resize(size_t(size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    std::fclose(file);
    return bytes;
}

void WriteWhole(const std::string &path, const void *data, size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    bool written = file && (size == 0 || std::fwrite(data, 1, size, file) == size);
    if (file && std::fclose(file) != 0) written = false;
    if (!written) ADD_FAILURE() << "cannot write " << path;
}

} // namespace

std::vector<uint8_t> ReadFileBytes(const std::string &path) { return ReadWhole<std::vector<uint8_t>>(path); }

std::string ReadFileText(const std::string &path) { return ReadWhole<std::string>(path); }

std::string WaitForLines(const std::string &path, size_t lines, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        std::string text = ReadFileText(path);
        const bool whole = !text.empty() && text.back() == '\n' &&
                           size_t(std::count(text.begin(), text.end(), '\n')) >= lines;
        if (whole || std::chrono::steady_clock::now() >= until) return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) { WriteWhole(path, bytes.data(), bytes.size()); }

void WriteText(const std::string &path, const std::string &text) { WriteWhole(path, text.data(), text.size()); }

ScratchDirectory::ScratchDirectory(const std::string &parent) {
    std::string pattern =
        ((parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent)) / "vl-test-XXXXXX")
            .string();
    if (mkdtemp(pattern.data())) path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}
