// Whole-file reads and writes for the command-line tools, with the system's reason when one fails (as
// "No such file or directory"), so that a message can say why and not only what.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

// One read of the whole file: a player is tens of megabytes.
inline bool ReadWholeFile(const std::string &name, std::vector<uint8_t> &bytes, std::string *why) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(name, ec);
    if (ec) {
        *why = ec.message();
        return false;
    }
    errno = 0;
    std::ifstream in(name, std::ios::binary);
    bytes.resize(size);
    if (!in || in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(size)).gcount() != std::streamsize(size)) {
        *why = errno ? std::strerror(errno) : "it changed while it was read";
        return false;
    }
    return true;
}

inline bool WriteWholeFile(const std::string &name, const std::vector<uint8_t> &bytes, std::string *why) {
    std::FILE *file = std::fopen(name.c_str(), "wb");
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    // Buffered bytes reach the disk at the close, so a full disk may show only there.
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    *why = std::strerror(!written ? writeError : errno);
    return false;
}
