// Outline fonts: the measuring and drawing rules over a scripted engine, the FreeType engine's glyphs, and linked
// outline fonts with their temporary copies.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <filesystem>
#include <map>

#include "host/blit.h"
#include "tests/player/player_test_support.h"
#include "tests/text/make_test_font.h"
#include "text/fonts/system_fonts.h"

namespace {

const std::string kVeraFile = "/usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf";

// Solid glyphs of the given box; bold adds 0x2000 to every width.
class ScriptedEngine final : public OutlineEngine {
public:
    struct Glyph {
        int32_t width, x0, y0, columns, rows;
    };
    std::map<uint32_t, Glyph> glyphs;
    std::map<std::pair<uint32_t, uint32_t>, int32_t> kerns;
    bool acceptBold = true, eightBitMaps = true;
    uint32_t dpiX = 0;
    int32_t embolden = 0;

    int SetTags(const OutlineTags &) override { return 0; }
    int SetSize(uint32_t x, uint32_t, uint32_t) override {
        dpiX = x;
        return 0;
    }
    int SetShear(int32_t, int32_t) override { return 0; }
    int SetEmbolden(int32_t x, int32_t) override {
        if (x && !acceptBold) return 1;
        embolden = x;
        return 0;
    }
    int SetGlyphCodes(uint32_t c, uint32_t n) override {
        code_ = c;
        next_ = n;
        return 0;
    }
    int ObtainGlyphMap(bool eightBit, OutlineGlyphMap *map) override {
        auto found = glyphs.find(code_);
        if (found == glyphs.end() || (eightBit && !eightBitMaps)) return 1;
        const Glyph &g = found->second;
        const int32_t bytesPerRow = eightBit ? g.columns : (g.columns + 7) / 8;
        bits_.assign(size_t(bytesPerRow * g.rows), 0xFF);
        *map = {bits_.data(), bytesPerRow, g.columns, g.rows, 0, 0, g.columns, g.rows, g.x0, g.y0,
                g.width + (embolden ? 0x2000 : 0)};
        return 0;
    }
    void ReleaseGlyphMap(OutlineGlyphMap *) override {}
    int ObtainKernPair(int32_t *kern) override {
        auto found = kerns.find({code_, next_});
        if (found == kerns.end()) return 1;
        *kern = found->second;
        return 0;
    }

private:
    uint32_t code_ = 0, next_ = 0;
    std::vector<uint8_t> bits_;
};

struct ScriptedFont {
    ScriptedEngine *engine = new ScriptedEngine;
    FontHandle handle;
    explicit ScriptedFont(bool acceptBold = true, bool eightBit = true) {
        engine->glyphs = {{'a', {0x8000, -1, 6, 4, 6}}, {'b', {0x6000, 0, 8, 3, 8}}, {'i', {0x4000, 0, 6, 1, 6}},
                          {'k', {0x1000, 0, 6, 2, 6}},  {'A', {0x8000, 0, 7, 4, 9}}};
        engine->kerns = {{{'a', 'b'}, 0x1000}, {{'k', 'a'}, 0x2000}};
        engine->acceptBold = acceptBold;
        engine->eightBitMaps = eightBit;
        OutlineTags tags;
        tags.sizeFactor = 0x00030002; // point height 15 at size 10
        EXPECT_EQ(OpenOutlineFontWith("Mock", 10, tags, std::unique_ptr<OutlineEngine>(engine), "", &handle), 1);
    }
    ~ScriptedFont() { CloseOsFont(&handle); }
};

TEST(OutlineFonts, MeasureBlanksKerningAndStylesByTheEngineRules) {
    ScriptedFont font;
    // 'A' reaches 7 rows up and 2 down: (10 + 7 - 2 + 1) / 2.
    EXPECT_EQ(std::tie(font.handle.kind, font.handle.height, font.handle.baseline, font.handle.antialiased),
              std::tuple(FontKindOutline, 10, 8, 1));
    const struct {
        const char *text;
        uint32_t style;
        int32_t width, minX, maxX, minY;
    } cases[] = {
        {"ka", 0, 7, 0, 5, -6},            // (0x1000 - 0x2000) x 15 px truncates toward zero, not to -1
        {"kab", 0, 11, 0, 9, -8},          // continues from "ka", whose 'a' now kerns against 'b'
        {"kab", kTextBold, 15, 0, 11, -8}, // bold widths, not the plain text measured last
        {"a b", 0, 15, 1, 13, -8},         // the blank moves by 'i' and adds no ink
        {"axb", 0, 12, 1, 10, -8},         // 'x' has no map and moves nothing
        {"a", 0, 7, 1, 5, -6},             // 0x8000 x 15 px: 7.5 truncated
    };
    for (const auto &c : cases) {
        TextExtentInfo e;
        MeasureText(&font.handle, c.text, strlen(c.text), c.style, 0, &e);
        EXPECT_EQ(std::tie(e.width, e.height, e.minX, e.maxX, e.minY, e.maxY),
                  std::tuple(c.width, 10, c.minX, c.maxX, c.minY, 0))
            << c.text;
    }
    // The style query tries emboldening; the next measure sets it back.
    EXPECT_EQ(std::tuple(QueryFontStyle(&font.handle, kTextItalic), QueryFontStyle(&font.handle, kTextBold),
                         QueryFontStyle(&font.handle, kTextUnderlined)),
              std::tuple(1, 1, 0));
    TextExtentInfo e;
    MeasureText(&font.handle, "a", 1, 0, 0, &e);
    EXPECT_EQ(e.width, 7);
    ScriptedFont refusing(false, false);
    EXPECT_EQ(std::tuple(QueryFontStyle(&refusing.handle, kTextItalic), QueryFontStyle(&refusing.handle, kTextBold),
                         refusing.handle.antialiased),
              std::tuple(1, 0, 0));
    // Twice the scale is twice the resolution; the baseline is probed again at the new height.
    SetFontScale(&font.handle, 2.0, 2.0);
    MeasureText(&font.handle, "a", 1, 0, 0, &e);
    EXPECT_EQ(std::tie(font.engine->dpiX, e.width, font.handle.height, font.handle.baseline), std::tuple(144u, 15, 20, 13));
}

TEST(OutlineFonts, DrawsBlackBoxesAtTheOriginClippedInEveryMode) {
    ScriptedFont font;
    HostBitmap *bitmap = AllocHostBitmap(32, 16);
    MaskPlane *mask = AllocMaskPlane(bitmap, 32, 16);
    AlphaPlane *alpha = AllocAlphaPlane(32, 16);
    const FontClip whole{0, 0, 32, 16}, left{0, 0, 5, 16};
    // 'a' at x 3..6 and rows 2..7, the stand-in for the blank not at all, 'b' at x 12..14 and rows 0..7.
    RenderText(&font.handle, {bitmap}, 2, 0, "a b", 3, 0, 0, whole, 0xFF0000);
    RenderText(&font.handle, {nullptr, mask}, 2, 0, "a b", 3, 0, 0, left, kRenderMaskMode);
    RenderText(&font.handle, {nullptr, nullptr, alpha}, 2, 0, "a b", 3, kTextAntialias, 0, whole, kRenderMaskMode);
    int painted = 0, masked = 0, covered = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++) {
            const bool ink = (x >= 3 && x < 7 && y >= 2 && y < 8) || (x >= 12 && x < 15 && y < 8);
            painted += (ReadPixelColour(bitmap, x, y) & 0xFFFFFF) == (ink ? 0xFF0000u : 0u);
            masked += MaskBit(mask, x, y) == (ink && x < 5);
            covered += (alpha->bytes[y * alpha->bytesPerRow + x] == 0xFF) == ink;
        }
    EXPECT_EQ(std::tie(painted, masked, covered), std::tuple(512, 512, 512));
    FreeAlphaPlane(alpha);
    FreeMaskPlane(mask);
    FreeHostBitmap(bitmap);
}

// A linked outline font: Vera behind a header with a tag block, then a damaged one.
TEST(OutlineFonts, FreeTypeEngineDrawsTheFacesOwnGlyphsFromATemporaryCopy) {
    ScratchDirectory dir, temp;
    FontBytes file = MakeLinkedFontHeader(6, 8), vera = ReadFileBytes(kVeraFile), damaged = MakeLinkedFontHeader(2);
    file.resize(16);
    file.insert(file.end(), vera.begin(), vera.end());
    damaged.resize(200, 0x55);
    WriteBytes(dir.File("applet"), file);
    WriteBytes(dir.File("damaged"), damaged);
    auto chunk = [&](const char *name, size_t length) {
        return ":::chunk0:" + std::to_string(length) + "*Vera.ttf/" + dir.File(name);
    };
    setenv("TMPDIR", temp.path.c_str(), 1);
    FontHandle *topaz = nullptr, *font = nullptr;
    ASSERT_EQ(InitFontSystem(&topaz), 0);
    ASSERT_EQ(OpenFontObject(chunk("applet", file.size()).c_str(), 16, kFontEngineNative, 0, 1, &font), 0);
    EXPECT_EQ(OpenFontObject(chunk("damaged", damaged.size()).c_str(), 16, kFontEngineNative, 0, 1, &font), 1064);
    EXPECT_EQ(std::tuple(font->kind, std::string(font->name), std::distance(std::filesystem::directory_iterator(temp.path), {})),
              std::tuple(FontKindOutline, std::string("Vera.ttf"), 1));
    FT_Library library;
    FT_Face face;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, kVeraFile.c_str(), 0, &face), 0);
    FT_Set_Char_Size(face, 0, 16 * 64, 72, 72);
    int32_t widths = 0;
    for (char c : std::string("AVgq")) {
        MaskPlane *mask = AllocMaskPlane(nullptr, 40, 40);
        RenderText(font, {nullptr, mask}, 10, 10, &c, 1, 0, 0, {0, 0, 40, 40}, kRenderMaskMode);
        ASSERT_EQ(FT_Load_Char(face, FT_ULong(c), FT_LOAD_NO_AUTOHINT | FT_LOAD_NO_BITMAP), 0);
        ASSERT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap &glyph = face->glyph->bitmap;
        int differences = 0, ink = 0;
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 40; x++) {
                const int gx = x - 10 - face->glyph->bitmap_left, gy = y - 10 - font->baseline + face->glyph->bitmap_top;
                const bool inside = gx >= 0 && gy >= 0 && gx < int(glyph.width) && gy < int(glyph.rows);
                const bool expected = inside && (glyph.buffer[gy * glyph.pitch + gx / 8] >> (7 - gx % 8)) & 1;
                differences += MaskBit(mask, x, y) != expected;
                ink += expected;
            }
        TextExtentInfo e;
        MeasureText(font, &c, 1, 0, 0, &e);
        EXPECT_EQ(std::tuple(differences, ink > 10, e.width), std::tuple(0, true, face->glyph->advance.x >> 6)) << c;
        widths += e.width;
        FreeMaskPlane(mask);
    }
    TextExtentInfo plain, kerned, bold, italic;
    MeasureText(font, "AVgq", 4, 0, 0, &kerned);
    MeasureText(font, "H", 1, 0, 0, &plain);
    MeasureText(font, "H", 1, kTextBold, 0, &bold);
    MeasureText(font, "H", 1, kTextItalic, 0, &italic);
    EXPECT_LT(kerned.width, widths); // Vera kerns "AV"
    EXPECT_EQ(std::tuple(bold.width > plain.width, bold.maxX > plain.maxX, italic.width, italic.maxX > plain.maxX),
              std::tuple(true, true, plain.width, true));
    EXPECT_EQ(std::tuple(QueryFontStyle(font, kTextItalic), QueryFontStyle(font, kTextBold), font->antialiased),
              std::tuple(1, 1, 1));
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    CloseFontObject(font);
    EXPECT_TRUE(std::filesystem::is_empty(temp.path));
    ShutdownFontSystem();
    unsetenv("TMPDIR");
}

} // namespace
