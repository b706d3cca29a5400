// Desktop icon files, "<name>.info": the system's disk-object layout, read and written by our own code
// (docs/icon-format.md). Reading keeps every part it does not change as bytes, so rewriting an icon's type,
// default tool or tool types leaves its images, position, drawer data and stack size as they were.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

constexpr int kIconDisk = 1;
constexpr int kIconDrawer = 2;
constexpr int kIconTool = 3;
constexpr int kIconProject = 4;
constexpr int kIconGarbage = 5;

// Tool types of one icon: at most this many, with at most this many bytes of text together.
constexpr size_t kMaxToolTypes = 256;
constexpr size_t kMaxToolTypeBytes = 65536;

struct IconFile {
    std::vector<uint8_t> header;     // the disk-object header as read (78 bytes)
    std::vector<uint8_t> drawerData; // empty when the icon has none
    std::vector<uint8_t> images;     // the image records with their plane data, as read
    std::vector<uint8_t> toolWindow; // length word and text, as read; empty when none
    std::vector<uint8_t> drawerExtension;
    std::vector<uint8_t> trailing;   // colour-icon data after the classic parts, kept opaque
    int type = 0;
    bool hasDefaultTool = false;
    std::string defaultTool;
    std::vector<std::string> toolTypes;
};

struct IconInfo {
    int type = 0;
    std::string defaultTool;
    std::vector<std::string> toolTypes;
};

// "x.INFO" and "x" both name "x.info": a final ".info" (any case) is removed.
std::string IconBaseName(const char *name);

// false for anything that is not a complete icon.
bool ParseIcon(std::span<const uint8_t> bytes, IconFile *out);
std::vector<uint8_t> SerialiseIcon(const IconFile &icon);
// A fresh icon of that type with a small built-in two-plane image (and drawer data for disks and drawers).
IconFile NewIcon(int type);

// name is given without ".info". 0, or kErrCannotReadFile "Cannot read file %s !" with the name when missing,
// truncated or malformed.
int LoadIcon(const char *name, IconFile **out);
void GetIconInfo(const IconFile *icon, IconInfo *out);
void FreeIcon(IconFile *icon);
// Changes type, default tool and tool types of the icon, creating it when missing; written through a temporary
// file so the old icon survives a failure. 0; kErrInternalLimit when the tool types exceed the limits above;
// kErrCannotReadFile with the name when an existing icon cannot be read or the new one cannot be written.
int SaveIconInfo(const char *name, int type, const char *defaultTool, const std::vector<std::string> &toolTypes);
