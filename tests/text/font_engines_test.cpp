// The font engines below the commands: glyph layout, clipping, colour planes, FreeType output, the font cache
// and damaged files.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <fstream>
#include <iterator>

#include "host/blit.h"
#include "runtime/app/runtime_globals.h"
#include "tests/player/player_test_support.h"
#include "runtime/app/errors.h"
#include "tests/text/make_test_font.h"
#include "text/fonts/bitmap_font.h"
#include "text/fonts/builtin_faces.h"
#include "text/fonts/topaz_font.h"
#include "text/fonts/truetype_font.h"
#include "text/layout/font_cache.h"
#include "text/layout/text_library.h"

namespace {

struct FontSystem : ::testing::Test {
    FontHandle *topaz = nullptr;
    void SetUp() override { ASSERT_EQ(InitFontSystem(&topaz), 0); }
    void TearDown() override {
        CloseAllCachedFonts();
        ShutdownFontSystem();
    }
};

// A handle read from a generated size file; closed with the fixture.
struct GeneratedFont {
    FontHandle handle;
    explicit GeneratedFont(const TestFontSpec &desc, bool keepPending = false) {
        EXPECT_EQ(ReadBitmapFontSize(MakeFontSizeFile(desc), &handle, keepPending), 1);
    }
    ~GeneratedFont() { FreeBitmapFontData(&handle); }
};

struct Canvas {
    HostBitmap *bitmap = AllocHostBitmap(64, 16);
    ~Canvas() { FreeHostBitmap(bitmap); }
    uint32_t At(int x, int y) const { return ReadPixelColour(bitmap, x, y) & 0xFFFFFF; }
};

int32_t Location(const FontHandle *font, int character, bool width = false) {
    const auto *data = static_cast<const BitmapFontData *>(font->engineData);
    int entry = character >= data->lowChar && character <= data->highChar ? character - data->lowChar : data->entryCount - 1;
    return width ? int32_t(data->locations[size_t(entry)] & 0xFFFF) : int32_t(data->locations[size_t(entry)] >> 16);
}

TEST_F(FontSystem, BuiltinGlyphsSitAtTheirStripOffsets) {
    const struct {
        int character;
        int32_t offset;
    } cases[] = {{32, 0}, {65, 264}, {127, 760}, {128, 768}, {159, 768}, {160, 0}, {161, 776}, {255, 1528}, {300, 768}};
    for (const auto &c : cases) {
        EXPECT_EQ(Location(topaz, c.character), c.offset) << c.character;
        EXPECT_EQ(Location(topaz, c.character, true), 8) << c.character;
    }
}

TEST_F(FontSystem, ClippedGlyphsStillAdvanceThePen) {
    // Glyphs are filled 8x8 blocks; the clip starts inside the second: the first is not drawn at all, the
    // second from the clip on, where the pen put it.
    GeneratedFont block(TestFontSpec{});
    Canvas filled;
    RenderText(&block.handle, {filled.bitmap}, 0, 0, "AB", 2, 0, 0, FontClip{11, 2, 64, 3}, 0xFF0000);
    for (int x = 0; x < 20; x++)
        for (int y = 0; y < 8; y++)
            EXPECT_EQ(filled.At(x, y), (x >= 11 && x < 16 && y >= 2 && y < 5) ? 0xFF0000u : 0u) << x << "," << y;
}

TEST_F(FontSystem, MaskModeWithNegativeKerningStaysInsideThePlane) {
    TestFontSpec desc;
    desc.kerning.assign(size_t(desc.highChar - desc.lowChar + 2), -5);
    desc.flags = kBitmapFontProportional;
    GeneratedFont font(desc);
    HostBitmap *bitmap = AllocHostBitmap(16, 8);
    MaskPlane *mask = AllocMaskPlane(bitmap, 16, 8);
    FontRenderTarget target{nullptr, mask};
    RenderText(&font.handle, target, 0, 0, "AAAAAA", 6, 0, 0, FontClip{-100, -100, 1000, 1000}, kRenderMaskMode);
    EXPECT_TRUE(MaskBit(mask, 0, 0));
    EXPECT_TRUE(MaskBit(mask, 15, 7)); // the first glyph, kerned to -5, still covers columns 0..2
    FreeMaskPlane(mask);
    FreeHostBitmap(bitmap);
}

TEST_F(FontSystem, ColourPlanesFollowThePickBits) {
    const struct {
        int depth, pick, onOff, index;
        uint32_t expected;
    } cases[] = {
        {2, 0b011, 0, 3, 0xFF8800}, // both planes stored
        {3, 0b101, 0, 5, 0xFF8800}, // planes 0 and 2 stored as the first two pointers
        {3, 0b101, 0b010, 5, 0x00FF00}, // unpicked plane 1 supplies its on/off bit: index 7 has no colour
        {2, 0b011, 0, 0, 0xEEE6D2}, // index 0 is the transparent key
    };
    for (const auto &c : cases) {
        TestFontSpec desc;
        desc.colour = true;
        desc.depth = c.depth;
        desc.planePick = c.pick;
        desc.planeOnOff = c.onOff;
        desc.colourIndex = c.index;
        desc.palette = {0x000, 0x111, 0x222, 0x0F80, 0x444, 0x0F80};
        if (c.onOff) desc.palette.push_back(0x0F0); // 6: unused; 7 beyond the colour count stays transparent
        GeneratedFont font(desc, true);
        ASSERT_EQ(font.handle.kind, FontKindColorBitmap);
        ASSERT_TRUE(font.handle.pendingPixels);
        const uint32_t expected = c.onOff ? kColorFontKey : c.expected;
        EXPECT_EQ(font.handle.pendingPixels[0], expected) << c.pick << " " << c.index;
    }
}

TEST_F(FontSystem, ProportionalMeasureMatchesAHandComputation) {
    // Entries for 'A' and 'B' only: widths 3 and 5, kerning -1 then 0, spacing 4 and 6.
    TestFontSpec desc;
    desc.lowChar = 'A';
    desc.highChar = 'B';
    desc.widths = {3, 5, 2};
    desc.kerning = {-1, 0, 0};
    desc.flags = kBitmapFontProportional;
    for (bool withSpacing : {true, false}) {
        desc.spacing = withSpacing ? std::vector<int16_t>{4, 6, 2} : std::vector<int16_t>{};
        GeneratedFont font(desc);
        TextExtentInfo extent;
        MeasureText(&font.handle, "AB", 2, 0, 0, &extent);
        // pen -1 (kern), glyph to 2, advance to 3 (or 7 nominal); B to 3+5=8 (12), advance to 9 (15).
        EXPECT_EQ(extent.minX, -1);
        EXPECT_EQ(extent.width, withSpacing ? 9 : 15);
        EXPECT_EQ(extent.maxX, withSpacing ? 8 : 14);
    }
}

TEST_F(FontSystem, ContentsEntriesSkipIncompleteOnesAndRefuseOutlines) {
    std::string entry;
    auto contents = MakeFontContents({{"::incomplete", 8}, {"f/9", 9}, {"f/8", 8}});
    EXPECT_EQ(FindBitmapFontEntry(contents, 8, &entry), 1);
    EXPECT_EQ(entry, "f/8");
    EXPECT_EQ(FindBitmapFontEntry(MakeFontContents({{"::incomplete", 8}}), 8, &entry), 0);
    EXPECT_EQ(FindBitmapFontEntry(MakeFontContents({{"f/8", 8}}, 0x0F03), 8, &entry), 0);
    FontBytes noId = MakeFontSizeFile(TestFontSpec{});
    noId[50] = 0;
    FontHandle handle;
    EXPECT_EQ(ReadBitmapFontSize(noId, &handle, false), 0);
    EXPECT_EQ(handle.kind, FontKindNone);
}

TEST_F(FontSystem, EveryTruncationOpensOrFailsCleanly) {
    TestFontSpec colour;
    colour.colour = true;
    for (const FontBytes &file : {MakeFontSizeFile(TestFontSpec{}), MakeFontSizeFile(colour)})
        for (size_t n = 0; n < file.size(); n++) {
            FontHandle handle;
            if (ReadBitmapFontSize({file.data(), n}, &handle, false)) FreeBitmapFontData(&handle);
            EXPECT_EQ(handle.engineData, nullptr);
        }
    const BuiltinFace &vera = kBuiltinFaces[0];
    for (size_t n = 0; n < vera.size; n += n < 2048 ? 97 : 4093) {
        FontHandle handle;
        if (OpenTrueTypeMemoryFont({vera.data, n}, 12, 1, &handle)) {
            TextExtentInfo extent;
            MeasureText(&handle, "AV", 2, kTextBold, 0, &extent);
            CloseTrueTypeFace(&handle);
        }
        EXPECT_EQ(handle.engineData, nullptr);
    }
}

TEST_F(FontSystem, SizingArithmeticAndAdvances) {
    EXPECT_EQ(ComputeTrueTypePixelSize(20, 93, 24), 17);
    EXPECT_EQ(ComputeTrueTypePixelSize(0, 93, 24), 0);
    EXPECT_EQ(ComputeTrueTypePixelSize(20, 0, 0), 0);
    EXPECT_EQ(TrueTypeAdvance(640, 0, 17, 16, 2048, 1.0), 10 * 17 / 16); // 10 pixels at 16 per em, set at 17
    EXPECT_EQ(TrueTypeAdvance(640, 0, 17, 0, 2048, 1.0), 0);
    EXPECT_EQ(TrueTypeAdvance(64 * 5000, 0, 65535, 1, 1, 1.0), 327675000); // past 32 bits on the way
    // Kerning either way, in 32-bit and 64-bit operands, and an advance that needs 128 bits: the same truncations.
    EXPECT_EQ(TrueTypeAdvance(640, -100, 17, 16, 2048, 1.0), (40960 - 3200) * 17 / 65536);
    EXPECT_EQ(TrueTypeAdvance(640, 40000, 17, 16, 2048, 1.0), (40960 + 1280000) * 17 / 65536);
    EXPECT_EQ(TrueTypeAdvance(-640, -40000, 17, 16, 2048, 1.0), -(40960 + 1280000) * 17 / 65536);
    EXPECT_EQ(TrueTypeAdvance(int64_t(1) << 40, 0, 17, 16, 2048, 1.0), int64_t(17) << 30);
}

TEST_F(FontSystem, VeraGlyphsEqualFreeTypesOwnBitmaps) {
    FontHandle *sans = nullptr;
    ASSERT_EQ(OpenFontCached(":::default_sans", 20, 4, 0, 0, &sans), 0);
    FT_Library library;
    FT_Face face;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Memory_Face(library, kBuiltinFaces[0].data, FT_Long(kBuiltinFaces[0].size), 0, &face), 0);
    // The engine sets the face one pixel below its nominal size and loads and renders in two steps.
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, FT_UInt(TrueTypePixelSize(sans) - 1)), 0);
    for (uint32_t style : {0u, kTextAntialias}) {
        HostBitmap *bitmap = AllocHostBitmap(40, 40);
        AlphaPlane *alpha = AllocAlphaPlane(40, 40);
        MaskPlane *mask = AllocMaskPlane(bitmap, 40, 40);
        RenderText(sans, {bitmap, mask, alpha}, 10, 5, "g", 1, style, 0, FontClip{0, 0, 40, 40}, kRenderMaskMode);
        ASSERT_EQ(FT_Load_Char(face, 'g', FT_LOAD_NO_AUTOHINT), 0);
        ASSERT_EQ(FT_Render_Glyph(face->glyph, style ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap &glyph = face->glyph->bitmap;
        const int x0 = 10 + face->glyph->bitmap_left, y0 = 5 + sans->baseline - face->glyph->bitmap_top;
        for (unsigned y = 0; y < glyph.rows; y++)
            for (unsigned x = 0; x < glyph.width; x++) {
                const uint8_t *row = glyph.buffer + y * unsigned(glyph.pitch);
                if (style) {
                    EXPECT_EQ(alpha->bytes[size_t(y0 + int(y)) * size_t(alpha->bytesPerRow) + size_t(x0) + x], row[x]);
                } else {
                    const bool on = row[x >> 3] >> (7 - (x & 7)) & 1;
                    EXPECT_EQ(MaskBit(mask, x0 + int(x), y0 + int(y)), on);
                }
            }
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        FreeHostBitmap(bitmap);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST_F(FontSystem, CacheSharesEntriesAndResetsScale) {
    FontHandle *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(OpenFontCached(":::default_sans", 20, 0, 1, 0, &a), 0);
    SetFontScale(a, 2.0, 2.0);
    EXPECT_EQ(a->height, 40);
    ASSERT_EQ(OpenFontCached(":::default_sans", 20, 0, 1, 0, &b), 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->scaleX, 1.0);
    EXPECT_EQ(b->height, 20);
    ASSERT_EQ(OpenFontCached(":::default_sans", 20, 0, 0, 0, &c), 0);
    EXPECT_NE(a, c); // the glyph-cache flag is part of the key
    // A TrueType request for the built-in bitmap font falls back and is cached under engine 0.
    ASSERT_EQ(OpenFontCached("topaz", 8, kFontEngineInbuilt, 1, 0, &c), 0);
    EXPECT_EQ(c, topaz);
    EXPECT_EQ(CachedFonts().back().engine, kFontEngineNative);
    const size_t entries = CachedFonts().size();
    ASSERT_EQ(OpenFontCached("Topaz.font", 8, kFontEngineNative, 1, 0, &c), 0);
    EXPECT_EQ(CachedFonts().size(), entries);
    EXPECT_EQ(OpenFontCached("FONTS:topaz.font", 8, kFontEngineInbuilt, 1, 0, &c), kErrFontOpen); // no 1335
    EXPECT_EQ(OpenFontCached(std::string(1024, 'a').c_str(), 8, 0, 1, 0, &c), kErrFontOpen);
}

TEST_F(FontSystem, BoldTextReloadsEveryGlyphWithCaching) {
    FontHandle *sans = nullptr;
    ASSERT_EQ(OpenFontCached(":::default_sans", 12, 4, 1, 0, &sans), 0);
    TextExtentInfo extent;
    MeasureText(sans, "aaaa", 4, 0, 0, &extent);
    uint64_t before = TrueTypeGlyphLoads;
    MeasureText(sans, "aaab", 4, 0, 0, &extent);
    EXPECT_EQ(TrueTypeGlyphLoads - before, 1u); // only 'b' is new
    before = TrueTypeGlyphLoads;
    MeasureText(sans, "aaaa", 4, kTextBold, 0, &extent);
    EXPECT_EQ(TrueTypeGlyphLoads - before, 4u);
}

// One container file holding a font's pieces; Name(offset, length, file) is a range of it.
struct Container {
    ScratchDirectory dir;
    FontBytes bytes;
    size_t Add(const FontBytes &piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
        return bytes.size() - piece.size();
    }
    std::string Name(size_t offset, size_t length, const char *file) {
        WriteBytes(dir.File("container"), bytes);
        return ":::chunk" + std::to_string(offset) + ":" + std::to_string(length) + "*" + file + "/" + dir.File("container");
    }
};

TEST_F(FontSystem, PendingColourFontGetsItsBitmapThroughTheCache) {
    TestFontSpec desc;
    desc.colour = true;
    const FontBytes size = MakeFontSizeFile(desc);
    Container file;
    const size_t contentsLength = MakeFontContents({{"x", 8}}).size();
    file.Add(MakeFontContents({{":::chunk" + std::to_string(contentsLength) + ":" + std::to_string(size.size()) + "*8/", 8}}));
    file.Add(size);
    PreloadActive = 1;
    FontHandle *font = nullptr;
    ASSERT_EQ(OpenFontCached(file.Name(0, contentsLength, "colour.font").c_str(), 8, 0, 1, 0, &font), 0);
    PreloadActive = 0;
    EXPECT_TRUE(font->pendingPixels && !font->companion);
    // No OpenFont id refers to it: the walk goes over the cache.
    EXPECT_EQ(MakePendingFontBitmaps(), 0);
    EXPECT_TRUE(!font->pendingPixels && font->companion && font->colorMask);
}

TEST_F(FontSystem, LinkedHeadersAreSkippedWithinTheirRange) {
    Container file;
    FontBytes header = MakeLinkedFontHeader(6, 4);
    header.resize(header.size() + 4);
    const size_t start = file.Add(header);
    file.Add(FontBytes(kBuiltinFaces[0].data, kBuiltinFaces[0].data + kBuiltinFaces[0].size));
    const size_t overrun = file.Add(MakeLinkedFontHeader(6, 0xFFFFFFF0));
    const size_t bitmap = file.Add(MakeLinkedFontHeader(0));
    file.Add(FontBytes(40, 0xEE));
    FontHandle *font = nullptr;
    ASSERT_EQ(OpenFontObject(file.Name(start, 12 + kBuiltinFaces[0].size, "Vera.ttf").c_str(), 12, 4, 1, 1, &font), 0);
    EXPECT_STREQ(font->name, "Bitstream Vera Sans");
    CloseFontObject(font);
    EXPECT_EQ(OpenFontObject(file.Name(overrun, 8, "x.ttf").c_str(), 12, 4, 1, 1, &font), kErrFontOpen);
    EXPECT_EQ(OpenFontObject(file.Name(bitmap, 44, "x.font").c_str(), 8, 0, 1, 1, &font), kErrFontOpen);
    EXPECT_EQ(OpenFontObject(":::chunk0:8*x.ttf//no/such/file", 8, 4, 1, 1, &font), kErrCannotReadFile);
}

} // namespace
