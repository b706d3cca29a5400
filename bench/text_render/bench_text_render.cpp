// A 2,000-character Latin-1 paragraph in Vera 24 px, antialiased and word-wrapped at 1,900 px, drawn into a
// 1920 x 1080 bitmap: ours through the layout engine (layers off, the font opened once with its glyph cache),
// SDL2_ttf rendering each line blended and blitting it, and a minimal FreeType loop that blends pre-rendered
// glyphs straight into the bitmap along the same lines. Prints the medians and the ratios.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/blit.h"
#include "imaging/graphics_library.h"
#include "runtime/app/runtime_globals.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_draw.h"
#include "text/layout/text_library.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kWrap = 1900, kPixels = 24;
constexpr const char *kVera = "/usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf";

std::map<std::string, std::vector<double>> samples;
std::string Paragraph; // Latin-1
std::vector<std::string> Lines;
VMState *Vm = nullptr;
FontHandle *OurFont = nullptr;
HostBitmap *Target = nullptr;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

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

// The lines the layout engine breaks the paragraph into, found with SDL2_ttf's measure at the same size.
void BreakLines(TTF_Font *font) {
    std::string line, word;
    size_t start = 0;
    while (start < Paragraph.size()) {
        size_t end = Paragraph.find(' ', start);
        if (end == std::string::npos) end = Paragraph.size();
        word = Paragraph.substr(start, end - start);
        std::string candidate = line.empty() ? word : line + " " + word;
        int w = 0, h = 0;
        TTF_SizeUTF8(font, Utf8(candidate).c_str(), &w, &h);
        if (w > kWrap && !line.empty()) {
            Lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        start = end + 1;
    }
    if (!line.empty()) Lines.push_back(line);
}

void BM_Ours(benchmark::State &state) {
    TextDrawParams params;
    params.style.style = kTextNormal | kTextAntialias;
    params.style.font = OurFont;
    params.rightMargin = kWrap;
    params.text = Paragraph;
    const double start = Now();
    for (auto _ : state) {
        params.wordWrapTable.clear();
        if (DrawText(Vm, nullptr, nullptr, &params, ObjectKindTextOut, false, DisplayTransform{}, nullptr, 0, nullptr))
            std::abort();
    }
    Record("ours", state, Now() - start);
}

void BM_SdlTtf(benchmark::State &state) {
    TTF_Font *font = TTF_OpenFont(kVera, kPixels);
    SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    std::vector<std::string> utf8;
    for (const std::string &line : Lines) utf8.push_back(Utf8(line));
    const int step = TTF_FontLineSkip(font);
    const double start = Now();
    for (auto _ : state) {
        int y = 0;
        for (const std::string &line : utf8) {
            SDL_Surface *s = TTF_RenderUTF8_Blended(font, line.c_str(), SDL_Color{255, 255, 255, 255});
            SDL_Rect at{0, y, s->w, s->h};
            SDL_BlitSurface(s, nullptr, target, &at);
            SDL_FreeSurface(s);
            y += step;
        }
    }
    Record("sdl_ttf", state, Now() - start);
    SDL_FreeSurface(target);
    TTF_CloseFont(font);
}

struct Glyph {
    std::vector<uint8_t> coverage;
    int width = 0, rows = 0, left = 0, top = 0, advance = 0;
};

void BM_FreeTypeLoop(benchmark::State &state) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, kVera, 0, &face)) std::abort();
    FT_Set_Pixel_Sizes(face, 0, kPixels);
    std::vector<Glyph> glyphs(256);
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
    const int ascender = int(face->size->metrics.ascender >> 6), step = int(face->size->metrics.height >> 6);
    const double start = Now();
    for (auto _ : state) {
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
            y += step;
        }
        benchmark::DoNotOptimize(Target->pixels);
    }
    Record("freetype", state, Now() - start);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
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
    if (OpenFontCached(":::default_sans", kPixels, kFontEngineInbuilt, 1, 0, &OurFont)) return false;
    Target = AllocHostBitmap(kWidth, kHeight);
    CurrentOutputBitmapHook = [] { return Target; };
    if (TTF_Init()) return false;
    MakeParagraph();
    TTF_Font *font = TTF_OpenFont(kVera, kPixels);
    BreakLines(font);
    TTF_CloseFont(font);
    return true;
}

int BenchReport() {
    const double ours = vl::bench::Median(samples["ours"]), ttf = vl::bench::Median(samples["sdl_ttf"]),
                 ft = vl::bench::Median(samples["freetype"]);
    std::printf("median ms: ours %.3f, SDL2_ttf %.3f, FreeType loop %.3f (%zu lines)\n", ours, ttf, ft, Lines.size());
    std::printf("SDL2_ttf / ours = %.2f (target >= 2), ours / FreeType loop = %.2f (target <= 1.5)\n", ttf / ours,
                ours / ft);
    kTextLibrary.freeAll(Vm);
    CloseVMState(Vm);
    TTF_Quit();
    FreeHostBitmap(Target);
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
