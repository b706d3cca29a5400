#include "image_helpers.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include "tests/support/files.h"

namespace {
void Put32(std::string &s, uint32_t v) {
    for (int k = 3; k >= 0; --k) s.push_back(char((v >> (8 * k)) & 255));
}
uint32_t Get32(const std::string &s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint8_t(s[at + 3]);
}
void Chunk(std::string &out, const char *type, const std::string &data) {
    Put32(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size()))));
}
} // namespace

bool WritePng(const std::string &path, const std::vector<uint32_t> &rgb, int w, int h) {
    std::string raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < w; ++x) {
            uint32_t p = rgb[size_t(y) * size_t(w) + size_t(x)];
            raw.push_back(char((p >> 16) & 255));
            raw.push_back(char((p >> 8) & 255));
            raw.push_back(char(p & 255));
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(raw.data()),
                  uLong(raw.size()), 9) != Z_OK)
        return false;
    packed.resize(size);
    std::string out("\x89PNG\r\n\x1a\n", 8), ihdr;
    Put32(ihdr, uint32_t(w));
    Put32(ihdr, uint32_t(h));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    Chunk(out, "IHDR", ihdr);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", "");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(out.data(), std::streamsize(out.size()));
    return bool(f);
}

// Reads what WritePng writes (8-bit RGB, filter 0 rows); anything else is refused.
bool ReadPng(const std::string &path, std::vector<uint32_t> *rgb, int *w, int *h) {
    const std::string s = ReadFileText(path);
    if (s.size() < 8 || s.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return false;
    std::string idat;
    size_t at = 8;
    *w = *h = 0;
    while (at + 12 <= s.size()) {
        uint32_t len = Get32(s, at);
        if (at + 12 + len > s.size()) return false;
        std::string type = s.substr(at + 4, 4);
        if (type == "IHDR") {
            *w = int(Get32(s, at + 8));
            *h = int(Get32(s, at + 12));
            if (s[at + 16] != 8 || s[at + 17] != 2) return false;
        } else if (type == "IDAT") {
            idat += s.substr(at + 8, len);
        }
        at += 12 + len;
    }
    if (*w <= 0 || *h <= 0 || *w > 4096 || *h > 4096) return false;
    uLongf size = uLongf(size_t(*h) * (size_t(*w) * 3 + 1));
    std::string raw(size, '\0');
    if (uncompress(reinterpret_cast<Bytef *>(raw.data()), &size, reinterpret_cast<const Bytef *>(idat.data()),
                   uLong(idat.size())) != Z_OK ||
        size != raw.size())
        return false;
    rgb->assign(size_t(*w) * size_t(*h), 0);
    for (int y = 0; y < *h; ++y) {
        const uint8_t *row = reinterpret_cast<const uint8_t *>(raw.data()) + size_t(y) * (size_t(*w) * 3 + 1);
        if (row[0] != 0) return false;
        for (int x = 0; x < *w; ++x)
            (*rgb)[size_t(y) * size_t(*w) + size_t(x)] =
                (uint32_t(row[1 + 3 * x]) << 16) | (uint32_t(row[2 + 3 * x]) << 8) | row[3 + 3 * x];
    }
    return true;
}

std::string CompareWithGolden(const std::string &name, const std::vector<uint32_t> &rgb, int w, int h,
                              int tolerance) {
    const std::string golden = std::string(VL_SOURCE_DIR) + "/tests/data/imaging/" + name + ".png";
    const char *update = std::getenv("VL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        return WritePng(golden, rgb, w, h) ? "" : "could not write " + golden;
    }
    std::vector<uint32_t> want;
    int gw = 0, gh = 0;
    std::string problem;
    if (!ReadPng(golden, &want, &gw, &gh)) {
        problem = "cannot read " + golden;
    } else if (gw != w || gh != h) {
        problem = "size " + std::to_string(w) + "x" + std::to_string(h) + " differs from golden " +
                  std::to_string(gw) + "x" + std::to_string(gh);
    } else {
        for (size_t i = 0; i < want.size() && problem.empty(); ++i)
            for (int c = 0; c < 3; ++c) {
                int a = int((rgb[i] >> (8 * c)) & 255), b = int((want[i] >> (8 * c)) & 255);
                if (std::abs(a - b) > tolerance) {
                    char buf[128];
                    std::snprintf(buf, sizeof buf, "pixel (%d, %d) is %06X, golden %06X", int(i % size_t(w)),
                                  int(i / size_t(w)), rgb[i] & 0xFFFFFF, want[i] & 0xFFFFFF);
                    problem = buf;
                    break;
                }
            }
    }
    if (!problem.empty()) {
        const std::string actual = std::string(VL_BINARY_DIR) + "/imaging-actual/" + name + ".png";
        WritePng(actual, rgb, w, h);
        problem += " (actual image: " + actual + ")";
    }
    return problem;
}
