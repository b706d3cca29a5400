// A 2,000-character Latin-1 paragraph in Vera with a 24-pixel em, antialiased and word-wrapped at 1,900 px, drawn
// into a 1920 x 1080 bitmap: ours through the layout engine (layers off, the font opened once with its glyph
// cache), SDL2_ttf rendering each line blended and blitting it, and a minimal FreeType loop that blends
// pre-rendered glyphs straight into the bitmap along the same lines. Our size number is the whole font height, so
// ours is opened at the size whose em is 24 pixels; the lines are the ones our layout breaks, and before timing
// each side draws the paragraph once white on black and must leave the same ink (total coverage and ink height),
// else the bench fails. Prints the medians and the ratios.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/blit.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "text/fonts/truetype_font.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kWrap = 1900, kEmPixels = 24;
constexpr const char *kVera = "/usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf";

std::map<std::string, std::vector<double>> samples;
std::string Paragraph; // Latin-1
std::vector<std::string> Lines;
VMState *Vm = nullptr;
FontHandle *OurFont = nullptr;
HostBitmap *Target = nullptr;
int OurSize = 0; // our size number whose em is kEmPixels

// The thread's CPU time: other processes on a loaded machine do not count.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void Record(const char *name, benchmark::State &state, double seconds) {
    samples[name].push_back(seconds * 1e3 / double(state.iterations()));
}

std::string Utf8(const std::string &latin1) {
    std::string out;
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void MakeParagraph() {
    static const char *kWords[] = {"Vistaloom", "draws", "text", "na\xefve", "caf\xe9", "\xfc" "ber", "with", "edges",
                                   "and", "shadows", "across", "the", "display", "se\xf1or", "quickly", "wrapped"};
    unsigned seed = 7;
    while (Paragraph.size() < 2000) {
        seed = seed * 1103515245u + 12345u;
        if (!Paragraph.empty()) Paragraph += ' ';
        Paragraph += kWords[(seed >> 16) % 16];
    }
    Paragraph.resize(2000);
}

// The lines our layout broke the paragraph into: wrap holds the 0-based numbers of the words that begin a line.
void SplitLines(const std::vector<int32_t> &wrap) {
    std::vector<std::string> words;
    for (size_t at = 0; at <= Paragraph.size();) {
        size_t end = Paragraph.find(' ', at);
        if (end == std::string::npos) end = Paragraph.size();
        words.push_back(Paragraph.substr(at, end - at));
        at = end + 1;
    }
    size_t next = 0;
    for (size_t i = 0; i < words.size(); i++) {
        if (Lines.empty() || (next < wrap.size() && size_t(wrap[next]) == i)) {
            if (!Lines.empty()) next++;
            Lines.emplace_back();
        } else {
            Lines.back() += ' ';
        }
        Lines.back() += words[i];
    }
}

// The ink a drawing left, white on black: the sum of one channel, and the rows and columns it reaches.
struct Ink {
    uint64_t coverage = 0;
    int top = INT32_MAX, bottom = -1, left = INT32_MAX, right = -1;
};

Ink InkOf(const uint32_t *pixels, int rowPixels) {
    Ink ink;
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++)
            if (const uint32_t c = pixels[size_t(y) * size_t(rowPixels) + size_t(x)] & 0xFF) {
                ink.coverage += c;
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
            }
    return ink;
}

void ClearTarget() {
    for (int y = 0; y < kHeight; y++) std::fill_n(HostBitmapRow32(Target, y), kWidth, 0xFF000000u);
}

TextDrawParams OurParams() {
    TextDrawParams params;
    params.style.style = kTextNormal | kTextAntialias;
    params.style.color = 0xFFFFFF;
    params.style.font = OurFont;
    params.rightMargin = kWrap;
    params.text = Paragraph;
    return params;
}

void DrawOurs(TextDrawParams &params) {
    params.wordWrapTable.clear();
    if (DrawText(Vm, nullptr, nullptr, &params, ObjectKindTextOut, false, DisplayTransform{}, nullptr, 0, nullptr))
        std::abort();
}

void BM_Ours(benchmark::State &state) {
    TextDrawParams params = OurParams();
    const double start = Now();
    for (auto _ : state) DrawOurs(params);
    Record("ours", state, Now() - start);
}

// SDL2_ttf's side: every line rendered blended and blitted, a line apart as ours are.
struct SdlSide {
    TTF_Font *font = TTF_OpenFont(kVera, kEmPixels);
    SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    std::vector<std::string> utf8;
    SdlSide() {
        for (const std::string &line : Lines) utf8.push_back(Utf8(line));
    }
    ~SdlSide() {
        SDL_FreeSurface(target);
        TTF_CloseFont(font);
    }
    void Draw() {
        int y = 0;
        for (const std::string &line : utf8) {
            SDL_Surface *s = TTF_RenderUTF8_Blended(font, line.c_str(), SDL_Color{255, 255, 255, 255});
            SDL_Rect at{0, y, s->w, s->h};
            SDL_BlitSurface(s, nullptr, target, &at);
            SDL_FreeSurface(s);
            y += OurFont->height;
        }
    }
};

void BM_SdlTtf(benchmark::State &state) {
    SdlSide side;
    const double start = Now();
    for (auto _ : state) side.Draw();
    Record("sdl_ttf", state, Now() - start);
}

struct Glyph {
    std::vector<uint8_t> coverage;
    int width = 0, rows = 0, left = 0, top = 0, advance = 0;
};

// The FreeType loop's side: glyphs rendered once, blended along the same lines.
struct FreeTypeSide {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::vector<Glyph> glyphs = std::vector<Glyph>(256);
    int ascender = 0;
    FreeTypeSide();
    ~FreeTypeSide() {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    void Draw();
};

FreeTypeSide::FreeTypeSide() {
    if (FT_Init_FreeType(&library) || FT_New_Face(library, kVera, 0, &face)) std::abort();
    FT_Set_Pixel_Sizes(face, 0, kEmPixels);
    for (int c = 32; c < 256; c++) {
        if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER)) continue;
        const FT_GlyphSlot g = face->glyph;
        Glyph &out = glyphs[size_t(c)];
        out.width = int(g->bitmap.width), out.rows = int(g->bitmap.rows);
        out.left = g->bitmap_left, out.top = g->bitmap_top, out.advance = int(g->advance.x >> 6);
        for (int r = 0; r < out.rows; r++)
            out.coverage.insert(out.coverage.end(), g->bitmap.buffer + r * g->bitmap.pitch,
                                g->bitmap.buffer + r * g->bitmap.pitch + out.width);
    }
    ascender = int(face->size->metrics.ascender >> 6);
}

void FreeTypeSide::Draw() {
    {
        int y = 0;
        for (const std::string &line : Lines) {
            int pen = 0;
            for (unsigned char c : line) {
                const Glyph &g = glyphs[c];
                for (int r = 0; r < g.rows; r++) {
                    const int py = y + ascender - g.top + r;
                    if (py < 0 || py >= kHeight) continue;
                    uint32_t *row = HostBitmapRow32(Target, py);
                    for (int i = 0; i < g.width; i++) {
                        const int px = pen + g.left + i;
                        const uint32_t a = g.coverage[size_t(r * g.width + i)];
                        if (!a || px < 0 || px >= kWidth) continue;
                        uint32_t d = row[px], out = 0xFF000000u;
                        for (int s = 0; s < 24; s += 8) {
                            const uint32_t dc = (d >> s) & 0xFF;
                            out |= ((dc * (255 - a) + 255 * a) / 255) << s;
                        }
                        row[px] = out;
                    }
                }
                pen += g.advance;
            }
            y += OurFont->height;
        }
        benchmark::DoNotOptimize(Target->pixels);
    }
}

void BM_FreeTypeLoop(benchmark::State &state) {
    FreeTypeSide side;
    const double start = Now();
    for (auto _ : state) side.Draw();
    Record("freetype", state, Now() - start);
}

// Both peers must leave the ink ours leaves: the same coverage and ink width within 1% and the same ink height
// within a pixel (the glyphs' size), or the timings compare different work.
bool SameInk(const char *name, const Ink &ours, const Ink &peer) {
    const double coverage = double(peer.coverage) / double(ours.coverage);
    const int oursHeight = ours.bottom - ours.top, peerHeight = peer.bottom - peer.top;
    const double width = double(peer.right - peer.left) / double(ours.right - ours.left);
    std::printf("ink %s / ours: coverage %.4f, height %d / %d px, width %d / %d px\n", name, coverage, peerHeight,
                oursHeight, peer.right - peer.left, ours.right - ours.left);
    if (ours.coverage > 0 && coverage > 0.99 && coverage < 1.01 && width > 0.99 && width < 1.01 &&
        std::abs(peerHeight - oursHeight) <= 1)
        return true;
    std::printf("%s does not draw the glyphs ours draws: not timed\n", name);
    return false;
}

BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlTtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTypeLoop)->Unit(benchmark::kMillisecond);

} // namespace

bool BenchSetUp(int, char **) {
    QuietMode = 1;
    Vm = NewVMState();
    InitRuntimeSupport(Vm);
    kTextLibrary.registerLibrary(Vm);
    // Our size whose face is set to a kEmPixels em.
    for (int size = kEmPixels; size < 4 * kEmPixels && !OurSize; size++) {
        FontHandle *probe = nullptr;
        if (OpenFontObject("Bitstream Vera Sans", size, kFontEngineInbuilt, 0, 0, &probe)) return false;
        if (TrueTypePixelSize(probe) - 1 == kEmPixels) OurSize = size;
        CloseFontObject(probe);
    }
    if (!OurSize || OpenFontCached(":::default_sans", OurSize, kFontEngineInbuilt, 1, 0, &OurFont)) return false;
    Target = AllocHostBitmap(kWidth, kHeight);
    CurrentOutputBitmapHook = [] { return Target; };
    if (TTF_Init()) return false;
    MakeParagraph();
    TextDrawParams params = OurParams();
    ClearTarget();
    DrawOurs(params);
    SplitLines(params.wordWrapTable);
    const Ink ours = InkOf(HostBitmapRow32(Target, 0), Target->rowPixels);
    SdlSide sdl;
    SDL_FillRect(sdl.target, nullptr, 0xFF000000u);
    sdl.Draw();
    const Ink ttf = InkOf(static_cast<const uint32_t *>(sdl.target->pixels), sdl.target->pitch / 4);
    FreeTypeSide freeType;
    ClearTarget();
    freeType.Draw();
    const Ink ft = InkOf(HostBitmapRow32(Target, 0), Target->rowPixels);
    std::printf("our size %d has a %d px em (%zu lines)\n", OurSize, kEmPixels, Lines.size());
    return SameInk("SDL2_ttf", ours, ttf) && SameInk("FreeType loop", ours, ft);
}

int BenchReport() {
    const double ours = vl::bench::Median(samples["ours"]), ttf = vl::bench::Median(samples["sdl_ttf"]),
                 ft = vl::bench::Median(samples["freetype"]);
    std::printf("median CPU ms: ours %.3f, SDL2_ttf %.3f, FreeType loop %.3f (%zu lines)\n", ours, ttf, ft, Lines.size());
    std::printf("SDL2_ttf / ours = %.2f (target >= 3), ours / FreeType loop = %.2f (target <= 1.5)\n", ttf / ours,
                ours / ft);
    kTextLibrary.freeAll(Vm);
    CloseVMState(Vm);
    TTF_Quit();
    FreeHostBitmap(Target);
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
