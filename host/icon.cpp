#include "host/icon.h"

#include "host/safe_write.h"
#include "host/virtual_file.h"
#include "runtime/app/errors.h"
#include "runtime/vm/bounded_reader.h"

#include <strings.h>

namespace {

constexpr uint16_t kIconMagic = 0xE310;
constexpr size_t kHeaderBytes = 78;
constexpr size_t kDrawerDataBytes = 56;
constexpr size_t kImageRecordBytes = 20;
constexpr size_t kDrawerExtensionBytes = 6;
// Header offsets.
constexpr size_t kWidthAt = 12, kHeightAt = 14, kFirstImageAt = 22, kSecondImageAt = 26, kRevisionAt = 47;
constexpr size_t kTypeAt = 48, kDefaultToolAt = 50, kToolTypesAt = 54, kDrawerDataAt = 66, kToolWindowAt = 70;
constexpr size_t kStackAt = 74;
constexpr uint32_t kPresent = 1; // any non-zero word marks a part as present
// Icons are small; a larger file is not one (the colour data of the biggest icons stays far below this).
constexpr int64_t kMaxIconBytes = 16 << 20;

// Copies the next n bytes of the reader onto out; false on a short read.
bool TakeRaw(BoundedReader &reader, size_t n, std::vector<uint8_t> *out) {
    if (!reader.Need(n)) return false;
    out->insert(out->end(), reader.data + reader.pos, reader.data + reader.pos + n);
    reader.pos += n;
    return true;
}

// A length word counting the terminating zero, then the text; the text ends at its first zero.
bool ReadText(BoundedReader &reader, std::string *out) {
    uint32_t length = reader.U32BE();
    if (reader.Failed() || length == 0 || !reader.Need(length)) return false;
    const char *text = reinterpret_cast<const char *>(reader.data + reader.pos);
    size_t used = 0;
    while (used < length && text[used]) used++;
    out->assign(text, used);
    reader.pos += length;
    return true;
}

void AppendText(std::vector<uint8_t> &b, const std::string &text) {
    ByteWriter(b).U32BE(uint32_t(text.size() + 1));
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
}

// One image record and its planes.
bool ReadImage(BoundedReader &reader, std::vector<uint8_t> *out) {
    size_t start = reader.pos;
    reader.Skip(4);
    int16_t width = reader.S16BE(), height = reader.S16BE(), depth = reader.S16BE();
    uint32_t data = reader.U32BE();
    reader.pos = start;
    if (reader.Failed() || width < 0 || height < 0 || depth < 0 || depth > 8) return false;
    size_t planes = data ? size_t((width + 15) / 16) * 2 * size_t(height) * size_t(depth) : 0;
    return TakeRaw(reader, kImageRecordBytes + planes, out);
}

bool IsPresent(const std::vector<uint8_t> &header, size_t at) { return LoadU32BE(header.data() + at) != 0; }

// Disks and drawers open a window, so their icons always carry one.
void AddDrawerData(IconFile &icon) {
    if ((icon.type != kIconDisk && icon.type != kIconDrawer) || !icon.drawerData.empty()) return;
    icon.drawerData.assign(kDrawerDataBytes, 0);
    StoreU16BE(icon.drawerData.data(), 50); // the drawer window: left, top, width, height
    StoreU16BE(icon.drawerData.data() + 2, 50);
    StoreU16BE(icon.drawerData.data() + 4, 400);
    StoreU16BE(icon.drawerData.data() + 6, 200);
    if (icon.header[kRevisionAt] == 1) icon.drawerExtension.assign(kDrawerExtensionBytes, 0);
}

} // namespace

std::string IconBaseName(const char *name) {
    std::string base = name ? name : "";
    if (base.size() >= 5 && strcasecmp(base.c_str() + base.size() - 5, ".info") == 0) base.resize(base.size() - 5);
    return base;
}

bool ParseIcon(std::span<const uint8_t> bytes, IconFile *out) {
    *out = IconFile{};
    BoundedReader reader(bytes);
    if (!TakeRaw(reader, kHeaderBytes, &out->header)) return false;
    const std::vector<uint8_t> &h = out->header;
    if (LoadU16BE(h.data()) != kIconMagic) return false;
    out->type = h[kTypeAt];
    if (IsPresent(h, kDrawerDataAt) && !TakeRaw(reader, kDrawerDataBytes, &out->drawerData)) return false;
    if (IsPresent(h, kFirstImageAt) && !ReadImage(reader, &out->images)) return false;
    if (IsPresent(h, kSecondImageAt) && !ReadImage(reader, &out->images)) return false;
    out->hasDefaultTool = IsPresent(h, kDefaultToolAt);
    if (out->hasDefaultTool && !ReadText(reader, &out->defaultTool)) return false;
    if (IsPresent(h, kToolTypesAt)) {
        // The count word is (entries + 1) * 4; every entry needs at least its own length word.
        uint32_t count = reader.U32BE();
        if (reader.Failed() || count < 4 || count % 4 != 0 || count / 4 - 1 > reader.remaining() / 4) return false;
        out->toolTypes.resize(count / 4 - 1);
        for (std::string &entry : out->toolTypes)
            if (!ReadText(reader, &entry)) return false;
    }
    if (IsPresent(h, kToolWindowAt)) {
        size_t start = reader.pos;
        std::string unused;
        if (!ReadText(reader, &unused)) return false;
        out->toolWindow.assign(bytes.begin() + start, bytes.begin() + reader.pos);
    }
    if (!out->drawerData.empty() && h[kRevisionAt] == 1 && !TakeRaw(reader, kDrawerExtensionBytes, &out->drawerExtension))
        return false;
    out->trailing.assign(bytes.begin() + reader.pos, bytes.end());
    return true;
}

std::vector<uint8_t> SerialiseIcon(const IconFile &icon) {
    std::vector<uint8_t> b = icon.header;
    b[kTypeAt] = uint8_t(icon.type);
    StoreU32BE(b.data() + kDefaultToolAt, icon.hasDefaultTool ? kPresent : 0);
    StoreU32BE(b.data() + kToolTypesAt, icon.toolTypes.empty() ? 0 : kPresent);
    StoreU32BE(b.data() + kDrawerDataAt, icon.drawerData.empty() ? 0 : kPresent);
    StoreU32BE(b.data() + kToolWindowAt, icon.toolWindow.empty() ? 0 : kPresent);
    b.insert(b.end(), icon.drawerData.begin(), icon.drawerData.end());
    b.insert(b.end(), icon.images.begin(), icon.images.end());
    if (icon.hasDefaultTool) AppendText(b, icon.defaultTool);
    if (!icon.toolTypes.empty()) {
        ByteWriter(b).U32BE(uint32_t(icon.toolTypes.size() + 1) * 4);
        for (const std::string &entry : icon.toolTypes) AppendText(b, entry);
    }
    b.insert(b.end(), icon.toolWindow.begin(), icon.toolWindow.end());
    b.insert(b.end(), icon.drawerExtension.begin(), icon.drawerExtension.end());
    b.insert(b.end(), icon.trailing.begin(), icon.trailing.end());
    return b;
}

IconFile NewIcon(int type) {
    constexpr int kWidth = 32, kHeight = 16, kDepth = 2;
    IconFile icon;
    icon.type = type;
    std::vector<uint8_t> &h = icon.header;
    h.assign(kHeaderBytes, 0);
    StoreU16BE(h.data(), kIconMagic);
    StoreU16BE(h.data() + 2, 1);
    StoreU16BE(h.data() + kWidthAt, kWidth);
    StoreU16BE(h.data() + kHeightAt, kHeight);
    StoreU16BE(h.data() + 16, 0x0004); // gadget flags: the render is an image, highlighted by complement
    StoreU16BE(h.data() + 18, 0x0003); // activation: immediate, verify on release
    StoreU16BE(h.data() + 20, 0x0001); // a boolean gadget
    StoreU32BE(h.data() + kFirstImageAt, kPresent);
    h[kRevisionAt] = 1;
    StoreU32BE(h.data() + 58, 0x80000000u); // no fixed position
    StoreU32BE(h.data() + 62, 0x80000000u);
    StoreU32BE(h.data() + kStackAt, 4096);
    // Plane 0 draws a frame, plane 1 fills its inside: a plain two-colour document shape.
    std::vector<uint8_t> &image = icon.images;
    image.assign(kImageRecordBytes, 0);
    StoreU16BE(image.data() + 4, kWidth);
    StoreU16BE(image.data() + 6, kHeight);
    StoreU16BE(image.data() + 8, kDepth);
    StoreU32BE(image.data() + 10, kPresent);
    image[14] = (1 << kDepth) - 1; // plane pick
    for (int plane = 0; plane < kDepth; plane++)
        for (int y = 0; y < kHeight; y++) {
            bool edge = y == 0 || y == kHeight - 1;
            uint32_t row = plane == 0 ? (edge ? 0xFFFFFFFFu : 0x80000001u) : (edge ? 0 : 0x7FFFFFFEu);
            ByteWriter(image).U32BE(row);
        }
    AddDrawerData(icon);
    return icon;
}

int LoadIcon(const char *name, IconFile **out) {
    *out = nullptr;
    std::string path = std::string(name ? name : "") + ".info";
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    std::vector<uint8_t> bytes;
    int read = file ? ReadWholeVirtualFile(file, int64_t(kHeaderBytes), kMaxIconBytes, bytes) : 2;
    CloseVirtualFile(file);
    auto *icon = new IconFile;
    if (read != 0 || !ParseIcon(bytes, icon)) {
        delete icon;
        SetErrorArgString(name ? name : "");
        return kErrCannotReadFile;
    }
    *out = icon;
    return 0;
}

void GetIconInfo(const IconFile *icon, IconInfo *out) {
    out->type = icon->type;
    out->defaultTool = icon->defaultTool;
    out->toolTypes = icon->toolTypes;
}

void FreeIcon(IconFile *icon) { delete icon; }

int SaveIconInfo(const char *name, int type, const char *defaultTool, const std::vector<std::string> &toolTypes) {
    size_t textBytes = 0;
    for (const std::string &entry : toolTypes) textBytes += entry.size() + 1;
    if (toolTypes.size() > kMaxToolTypes || textBytes > kMaxToolTypeBytes) return kErrInternalLimit;
    std::string path = std::string(name ? name : "") + ".info";
    IconFile icon;
    if (VirtualFile *existing = OpenVirtualFile(path.c_str(), kVirtualFileRead)) {
        CloseVirtualFile(existing);
        IconFile *loaded = nullptr;
        if (int r = LoadIcon(name, &loaded)) return r;
        icon = std::move(*loaded);
        FreeIcon(loaded);
    } else {
        icon = NewIcon(type);
    }
    icon.type = type;
    AddDrawerData(icon);
    icon.hasDefaultTool = defaultTool && *defaultTool;
    icon.defaultTool = icon.hasDefaultTool ? defaultTool : "";
    icon.toolTypes = toolTypes;
    if (WriteFileSafely(path.c_str(), SerialiseIcon(icon)) != 0) {
        SetErrorArgString(name ? name : "");
        return kErrCannotReadFile;
    }
    return 0;
}
