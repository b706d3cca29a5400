// Writes valid inputs for the fuzz targets through the library's own writers (and SDL2_image's for PNG and
// JPEG), so the seeds follow the formats as they change: fuzz_seeds <output dir> <source dir>.
// Each target's seeds go to <output dir>/<target>/.
#include <SDL.h>
#include <SDL_image.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/compressed_file.h"
#include "libs/dos/serialised_format.h"
#include "tests/fuzz/applet_values.h"
#include "tests/media/anim_fixtures.h"
#include "tests/support/bytes.h"
#include "tests/text/make_test_font.h"
#include "text/fonts/builtin_faces.h"
#include "tools/applet/applet_file.h"

namespace {

namespace fs = std::filesystem;

fs::path gOut;
int gFailures = 0;

void Write(const char *target, const std::string &name, const Bytes &bytes) {
    fs::create_directories(gOut / target);
    std::ofstream out(gOut / target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", target, name.c_str());
        gFailures++;
    }
}

Bytes ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes Prefixed(uint8_t first, const Bytes &rest) {
    Bytes out{first};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

Bytes FromString(const std::string &text) { return Bytes(text.begin(), text.end()); }

// ---- Serialised tables and functions -----------------------------------------------------------------------

SerialValue Number(double n) {
    SerialValue v;
    v.tag = kTagNumber;
    v.number = n;
    return v;
}
SerialValue Text(const std::string &s) {
    SerialValue v;
    v.tag = kTagString;
    v.bytes = s;
    return v;
}
SerialKey Key(const std::string &s) {
    SerialKey k;
    k.isString = true;
    k.text = s;
    return k;
}
SerialKey Key(double n) {
    SerialKey k;
    k.number = n;
    return k;
}

void SerialisedSeeds(const Bytes &chunk) {
    const char *target = "serialised";
    SerialTable inner;
    inner.pairs.push_back({Key(1), Number(-2.5)});
    inner.pairs.push_back({Key("name"), Text("value")});
    SerialTable table;
    table.pairs.push_back({Key(1), Number(42)});
    table.pairs.push_back({Key("text"), Text("hello")});
    SerialValue nested;
    nested.tag = kTagTable;
    nested.table = std::make_unique<SerialTable>(std::move(inner));
    table.pairs.push_back({Key("inner"), std::move(nested)});
    SerialValue function;
    function.tag = kTagFunction;
    function.bytes.assign(chunk.begin(), chunk.end());
    table.pairs.push_back({Key(2), std::move(function)});
    for (bool textFunctions : {false, true}) {
        std::string bytes(kTableMagic, 4);
        if (EncodeTableBody(table, textFunctions, &bytes) != 0) gFailures++;
        Write(target, textFunctions ? "table_text_function" : "table_raw_function", Prefixed(0, FromString(bytes)));
    }
    std::string empty(kTableMagic, 4);
    EncodeTableBody(SerialTable{}, false, &empty);
    Write(target, "table_empty", Prefixed(0, FromString(empty)));
    for (bool text : {false, true}) {
        std::string bytes(text ? kFunctionTextMagic : kFunctionRawMagic, 4);
        std::string record;
        if (EncodeFunctionRecord(chunk, text, &record) != 0) gFailures++;
        bytes += record;
        Write(target, text ? "function_text" : "function_raw", Prefixed(text ? 3 : 1, FromString(bytes)));
    }
}

// ---- Applets ------------------------------------------------------------------------------------------------

void AppletSeeds(const Bytes &chunk, const Bytes &picture) {
    const char *target = "applet";
    AppletContents contents;
    contents.scriptName = "seed.vls";
    contents.chunk = chunk;
    contents.labels = {{"start", 0}, {"loop", 3}};
    contents.hasDisplaySettings = true;
    contents.displaySettings.type = kAppletValueTable;
    contents.displaySettings.table = {{AppletText("width"), AppletNumber(320)},
                                      {AppletText("title"), AppletText("Seed")},
                                      {AppletNumber(1), AppletNumber(2)}};
    contents.preloads = {{kPreloadBrush, {AppletNumber(1), AppletText("pic.png")}},
                         {kPreloadFile, {AppletNumber(1), AppletText("data.txt"), AppletNumber(0)}}};
    contents.linkedFiles = {{"pic.png", picture}, {"dir/data.txt", FromString("line one\nline two\n")}};
    Bytes fontContents = MakeLinkedFontHeader(0);
    Bytes entries = MakeFontContents({{"mono/8", 8}});
    fontContents.insert(fontContents.end(), entries.begin(), entries.end());
    contents.linkedFonts = {{"fonts/mono.font", fontContents, {{0, {"fonts/mono/8", MakeFontSizeFile(TestFontSpec{})}}}}};
    std::string error;
    Bytes full, minimal, compressed;
    if (!WriteApplet(contents, full, error)) gFailures++;
    Write(target, "applet_full", full);
    // Without the checksum record nearly every mutation gets past it into the records themselves.
    Bytes unchecked = full;
    const size_t checksumAt = unchecked.size() - 4 - kAppletChecksumRecordSize;
    if (unchecked[checksumAt] != kAppletChecksum) gFailures++;
    unchecked.erase(unchecked.begin() + long(checksumAt), unchecked.begin() + long(checksumAt + kAppletChecksumRecordSize));
    Write(target, "applet_unchecked", unchecked);
    AppletContents bare;
    bare.chunk = chunk;
    if (!WriteApplet(bare, minimal, error)) gFailures++;
    Write(target, "applet_chunk_only", minimal);
    if (!CompressApplet(full, compressed, error)) gFailures++;
    Write(target, "applet_compressed", compressed);
}

// ---- Packed files --------------------------------------------------------------------------------------------

void DecompressSeeds() {
    const char *target = "decompress";
    fs::create_directories(gOut / target);
    std::string text;
    for (int i = 0; i < 200; i++) text += "line " + std::to_string(i) + " of a packed file\n";
    const std::pair<const char *, std::string> sources[] = {{"packed_text", text}, {"packed_empty", ""}};
    for (const auto &[name, content] : sources) {
        fs::path plain = gOut / target / (std::string(name) + ".plain");
        std::ofstream(plain, std::ios::binary) << content;
        if (CompressToFile(kPackedFileMagic, plain.c_str(), (gOut / target / name).c_str(), nullptr) != 0)
            gFailures++;
        fs::remove(plain);
    }
}

// ---- Pictures ---------------------------------------------------------------------------------------------------

// The surface as a file, written by save (SDL's or SDL2_image's writer), into a buffer of the given size; frees
// the surface.
template <typename Save> Bytes Saved(SDL_Surface *s, size_t capacity, Save save) {
    Bytes buffer(capacity);
    SDL_RWops *rw = SDL_RWFromMem(buffer.data(), int(buffer.size()));
    int r = save(s, rw);
    Sint64 size = SDL_RWtell(rw);
    SDL_RWclose(rw);
    SDL_FreeSurface(s);
    if (r != 0 || size <= 0) return {};
    buffer.resize(size_t(size));
    return buffer;
}

Bytes SurfaceBytes(bool jpeg) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 5, 3, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return {};
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            static_cast<Uint32 *>(s->pixels)[y * s->pitch / 4 + x] = uint32_t(0x40 + x * 0x30) << 24 | uint32_t(x * 50) << 16 | uint32_t(y * 90) << 8 | 0x33;
    return Saved(s, 65536, [jpeg](SDL_Surface *surface, SDL_RWops *rw) {
        return jpeg ? IMG_SaveJPG_RW(surface, rw, 0, 80) : IMG_SavePNG_RW(surface, rw, 0);
    });
}

Bytes Bmp() {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 24, SDL_PIXELFORMAT_RGB24);
    if (!s) return {};
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 10, 200, 30));
    return Saved(s, 4096, [](SDL_Surface *surface, SDL_RWops *rw) { return SDL_SaveBMP_RW(surface, rw, 0); });
}

// A 2 x 2 GIF89a, two colours, index 1 transparent; a clear code before every index keeps codes three bits wide.
Bytes Gif() {
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(g, 2);
    PutLe16(g, 2);
    g.insert(g.end(), {0x80, 0, 0, 0x11, 0x22, 0x33, 0xFF, 0x00, 0xFF});
    g.insert(g.end(), {0x21, 0xF9, 4, 0x01, 0, 0, 1, 0});
    g.push_back(0x2C);
    for (uint32_t v : {0u, 0u, 2u, 2u}) PutLe16(g, v);
    g.push_back(0);
    g.push_back(2);
    Bytes data;
    uint32_t acc = 0;
    int bits = 0;
    for (int c : {4, 0, 4, 1, 4, 1, 4, 0, 5}) {
        acc |= uint32_t(c) << bits;
        bits += 3;
        for (; bits >= 8; bits -= 8, acc >>= 8) data.push_back(uint8_t(acc));
    }
    if (bits) data.push_back(uint8_t(acc));
    g.push_back(uint8_t(data.size()));
    g.insert(g.end(), data.begin(), data.end());
    g.insert(g.end(), {0, 0x3B});
    return g;
}

// An IFF picture: BMHD (size, depth, masking, compression), optional CMAP and CAMG, then the BODY as given.
Bytes Iff(const char *type, int w, int h, int depth, int masking, int compression, const Bytes &cmap,
          uint32_t camg, const Bytes &body) {
    std::vector<std::pair<const char *, Bytes>> chunks;
    if (!cmap.empty()) chunks.emplace_back("CMAP", cmap);
    if (camg) {
        Bytes c;
        PutBe32(c, camg);
        chunks.emplace_back("CAMG", c);
    }
    chunks.emplace_back("BODY", body);
    return MakeIffForm(type,
                       {.w = w, .h = h, .depth = depth, .masking = uint8_t(masking),
                        .compression = uint8_t(compression), .transparent = 1},
                       chunks);
}

Bytes Palette(int colours) {
    Bytes cmap;
    for (int i = 0; i < colours; i++) cmap.insert(cmap.end(), {uint8_t(i * 16), uint8_t(255 - i * 8), uint8_t(i * 3)});
    return cmap;
}

// A 2 x 1 QOI of two explicit RGB pixels.
Bytes Qoi() {
    Bytes q = {'q', 'o', 'i', 'f'};
    PutBe32(q, 2);
    PutBe32(q, 1);
    q.insert(q.end(), {4, 0, 0xFE, 0x10, 0x20, 0x30, 0xFE, 0x40, 0x50, 0x60, 0, 0, 0, 0, 0, 0, 0, 1});
    return q;
}

// A 3 x 2 8-bit PCX: run-length rows (runs and literals) and the 256-colour palette at the end.
Bytes Pcx() {
    Bytes p(128, 0);
    p[0] = 0x0A, p[1] = 5, p[2] = 1, p[3] = 8;
    p[8] = 2, p[10] = 1;            // xmax, ymax
    p[65] = 1, p[66] = 4, p[68] = 1; // planes, bytes per line, colour palette
    p.insert(p.end(), {0xC2, 7, 9, 0});
    p.insert(p.end(), {0xC1, 4, 5, 6, 0});
    p.push_back(0x0C);
    for (int i = 0; i < 256; i++) p.insert(p.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    return p;
}

void PictureSeeds(const Bytes &png) {
    std::vector<std::pair<std::string, Bytes>> pictures = {{"png", png}, {"jpeg", SurfaceBytes(true)}, {"bmp", Bmp()},
                                                           {"gif", Gif()}, {"qoi", Qoi()}, {"pcx", Pcx()},
                                                           {"pnm", FromString("P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60")}};
    // 16 x 2, two planes, packed rows plus a mask plane.
    Bytes masked = {0xFF, 0xFF, 0xFF, 0x00, 0x01, 0xFF, 0x00, 0x80, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    pictures.emplace_back("ilbm_packed_mask", Iff("ILBM", 16, 2, 2, 1, 1, Palette(4), 0, masked));
    // 4 x 1 HAM6, stored rows.
    Bytes ham;
    for (int p = 0; p < 6; p++) ham.insert(ham.end(), {uint8_t(0xA0 >> (p & 1)), 0});
    pictures.emplace_back("ilbm_ham6", Iff("ILBM", 4, 1, 6, 0, 0, Palette(16), 0x800, ham));
    pictures.emplace_back("ilbm_ehb_transparent", Iff("ILBM", 4, 1, 6, 2, 0, Palette(32), 0x80, ham));
    Bytes deep(24 * 2, 0x55);
    pictures.emplace_back("ilbm_deep24", Iff("ILBM", 3, 1, 24, 0, 0, {}, 0, deep));
    Bytes chunky = {1, 2, 3, 0, 3, 2, 1, 0};
    pictures.emplace_back("pbm", Iff("PBM ", 3, 2, 8, 0, 0, Palette(4), 0, chunky));
    for (auto &[name, bytes] : pictures) {
        if (bytes.empty()) {
            std::fprintf(stderr, "fuzz_seeds: no %s picture\n", name.c_str());
            gFailures++;
            continue;
        }
        Write("picture_header", name, bytes);
        Write("picture", name, Prefixed(2, bytes)); // with alpha
    }
    // TGA is only tried under a ".tga" name (bit 0 of the first byte).
    const Bytes tgas[] = {
        // 4 x 2, 32-bit, run-length, alpha, origin at the top.
        {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0x28, 0x82, 0x30, 0x20, 0x10, 0xFF, 0x04, 1, 2, 3, 0x80,
         4, 5, 6, 0x00, 7, 8, 9, 0x40, 10, 11, 12, 0xFF, 13, 14, 15, 0xFF},
        // 3 x 1, colour-mapped with a 24-bit map of two entries.
        {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 3, 0, 1, 0, 8, 0, 0x33, 0x22, 0x11, 0xCC, 0xBB, 0xAA, 1, 0, 1},
        // 2 x 2 grey with alpha, run-length, bottom-up.
        {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 16, 8, 0x81, 0x40, 0xFF, 0x01, 0x10, 0x80, 0x20, 0x00},
        // 2 x 1, 16-bit true colour.
        {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 16, 1, 0x1F, 0x80, 0xE0, 0x03},
    };
    int i = 0;
    for (const Bytes &tga : tgas) Write("picture", "tga_" + std::to_string(i++), Prefixed(3, tga));
}

// Bitmap fonts: mono, proportional with spacing and kerning, colour; the first byte is the target's switch.
// TrueType: the built-in faces, the first byte the size.
void FontSeeds() {
    TestFontSpec proportional;
    proportional.flags = 0x20;
    proportional.widths.assign(97, 5);
    proportional.spacing.assign(97, 6);
    proportional.kerning.assign(97, -1);
    TestFontSpec colour;
    colour.colour = true;
    colour.depth = 3;
    colour.planePick = 0b101;
    colour.colourIndex = 5;
    colour.palette = {0x000, 0x111, 0x222, 0x333, 0x444, 0xF80};
    Write("bitmap_font", "mono", Prefixed(0, MakeFontSizeFile(TestFontSpec{})));
    Write("bitmap_font", "proportional", Prefixed(2, MakeFontSizeFile(proportional)));
    Write("bitmap_font", "colour", Prefixed(1, MakeFontSizeFile(colour)));
    Write("bitmap_font", "contents", Prefixed(0, MakeFontContents({{"::incomplete", 8}, {"mono/8", 8}})));
    const char *names[] = {"sans", "serif", "mono"};
    for (int i = 0; i < 3; i++)
        Write("truetype_font", names[i], Prefixed(uint8_t(12 + i), Bytes(kBuiltinFaces[i].data, kBuiltinFaces[i].data + kBuiltinFaces[i].size)));
    Write("truetype_font", "sans_outline", Prefixed(64 + 12, Bytes(kBuiltinFaces[0].data, kBuiltinFaces[0].data + kBuiltinFaces[0].size)));
    const Bytes mono(kBuiltinFaces[2].data, kBuiltinFaces[2].data + kBuiltinFaces[2].size);
    const Bytes named = MakeNamedSfnt({{3, 1, 0x0409, 1, Utf16("Fam")}, {1, 0, 0, 2, "Bold Italic"}});
    Write("font_files", "face", Prefixed(0, mono));
    Write("font_files", "names", Prefixed(0, named));
    Write("font_files", "collection", Prefixed(1, MakeCollection({named, mono})));
    Write("font_files", "resources", Prefixed(2, MakeResourceFile({named, named})));
    Write("font_files", "contents", Prefixed(3, MakeFontContents({{"Fam/8", 8}, {"Fam/11", 11}})));
    Write("font_files", "otag", Prefixed(4, MakeOutlineTags("ft2", "Fonts/face.ttf", 0x00030002)));
}

// The sound fixtures made by tests/data/media/make_sounds.sh and make_modules.py.
void SoundSeeds(const fs::path &source) {
    for (const auto &entry : fs::directory_iterator(source / "tests/data/media")) {
        std::string name = entry.path().filename().string(), ext = entry.path().extension().string();
        if (ext != ".8svx" && ext != ".wav" && ext != ".mod" && ext != ".mp3" && ext != ".mp2" && ext != ".ogg" &&
            ext != ".flac" && ext != ".aiff")
            continue;
        Bytes bytes = ReadFile(entry.path());
        if (ext == ".8svx") Write("sound_iff", name, Prefixed(0, bytes));
        if (ext == ".wav") Write("sound_wave", name, bytes);
        if (ext == ".mod") Write("module", name, Prefixed(0, bytes));
        Write("sound_stream", "sample_" + name, Prefixed(0, bytes));
        Write("sound_stream", "music_" + name, Prefixed(1, bytes));
    }
}

// Animations: the checked-in GIFs and written ones (a disposal, a transparent hole, interlace, trailing bytes); IFF
// ANIMs of palette, XOR, EHB and HAM6 frames.
void AnimSeeds(const fs::path &source) {
    for (const char *name : {"dispose.gif", "local.gif", "interlaced.gif", "one.gif"})
        Write("gif_anim", name, ReadFile(source / "tests/data/media" / name));
    GifLayout gif;
    gif.width = 12, gif.height = 8, gif.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    GifFrameSpec full, part;
    full.width = 12, full.height = 8, full.indexes.assign(96, 1), full.interlaced = true;
    part.left = 3, part.top = 2, part.width = 4, part.height = 3, part.indexes = {2, 0, 2, 2, 3, 3, 0, 3, 2, 2, 2, 2};
    part.transparent = 0, part.disposal = 2, part.delay = 4, part.trailing = {0x21, 0x2C};
    gif.frames = {full, part, part};
    Write("gif_anim", "written", WriteTestGif(gif));
    gif.deferredClear = true;
    Write("gif_anim", "written_deferred_clear", WriteTestGif(gif));
    struct {
        const char *name;
        int planes;
        uint32_t camg;
        int interleave;
    } anims[] = {{"palette", 3, 0, 0}, {"xor", 2, 0, 1}, {"ehb", 6, 0x80, 0}, {"ham6", 6, 0x800, 0}};
    for (const auto &a : anims) {
        AnimSpec s;
        s.width = 19, s.height = 5, s.planes = a.planes, s.camg = a.camg, s.interleave = a.interleave;
        for (int i = 0; i < 16; i++) s.palette.push_back(uint32_t(i * 0x102030));
        for (int k = 0; k < 4; k++) {
            Bytes f(95);
            for (size_t i = 0; i < f.size(); i++) f[i] = uint8_t((i * 7 + size_t(k) * (i % 5)) % (1u << a.planes));
            s.frames.push_back(f);
        }
        s.paletteChanges = {{2, {0xFFFFFF, 0x808080}}};
        Write("iff_anim", a.name, WriteTestAnim(s));
    }
    for (const char *name : {"video.apng", "video.mp4"})
        Write("anim_datatype", name, ReadFile(source / "tests/data/media" / name));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds <output dir> <source dir>\n");
        return 2;
    }
    gOut = argv[1];
    Bytes chunk = ReadFile(fs::path(argv[2]) / "tests/fuzz/corpus/load_chunk/closure");
    if (chunk.empty()) {
        std::fprintf(stderr, "fuzz_seeds: no bytecode chunk under %s\n", argv[2]);
        return 1;
    }
    Bytes png = SurfaceBytes(false);
    SerialisedSeeds(chunk);
    AppletSeeds(chunk, png);
    DecompressSeeds();
    PictureSeeds(png);
    FontSeeds();
    SoundSeeds(argv[2]);
    AnimSeeds(argv[2]);
    return gFailures ? 1 : 0;
}
