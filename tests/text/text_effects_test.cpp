// Antialiased outlines around a large glyph: outside the glyph the outline's alpha is the coverage summed over
// the (2e + 1)^2 square, divided by 2e + 1 and capped, with sums far beyond 16 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "runtime/app/object_kinds.h"
#include "text/fonts/font_handle.h"
#include "text/fonts/scalable_text.h"
#include "text/layout/text_draw.h"

namespace {

uint8_t AlphaAt(const RenderedText &t, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= t.image.width || y >= t.image.height) return 0;
    return t.image.alpha->bytes[size_t(y) * size_t(t.image.alpha->bytesPerRow) + size_t(x)];
}

TEST(TextEffects, AntialiasedOutlinesSumCoverageWithoutWrapping) {
    FontHandle *topaz = nullptr, *vera = nullptr;
    ASSERT_EQ(InitFontSystem(&topaz), 0);
    ASSERT_EQ(OpenFontObject("Bitstream Vera Sans", 200, kFontEngineInbuilt, 1, 0, &vera), 0);
    TextDrawParams plain;
    plain.style.font = vera;
    plain.style.style = kTextNormal | kTextAntialias;
    plain.text = "l";
    RenderedText glyph;
    ASSERT_EQ(LayoutText(nullptr, &plain, ObjectKindTextObject, DisplayTransform{}, 0, &glyph), 0);
    for (int32_t e : {8, 20}) {
        TextDrawParams edged = plain;
        edged.style.style |= kTextEdge;
        edged.style.edgeSize = e;
        edged.style.edgeColor = 0;
        RenderedText out;
        ASSERT_EQ(LayoutText(nullptr, &edged, ObjectKindTextObject, DisplayTransform{}, 0, &out), 0);
        int mismatches = 0, solid = 0;
        for (int32_t y = 0; y < out.image.height; y++)
            for (int32_t x = 0; x < out.image.width; x++) {
                const int32_t gx = x + out.offsetX - glyph.offsetX, gy = y + out.offsetY - glyph.offsetY;
                if (AlphaAt(glyph, gx, gy)) continue;
                int64_t sum = 0;
                for (int32_t dy = -e; dy <= e; dy++)
                    for (int32_t dx = -e; dx <= e; dx++) sum += AlphaAt(glyph, gx + dx, gy + dy);
                const int64_t expected = std::min<int64_t>(255, sum / (2 * e + 1));
                solid += expected == 255;
                mismatches += AlphaAt(out, x, y) != expected;
            }
        EXPECT_EQ(mismatches, 0) << "edge " << e;
        EXPECT_GT(solid, 0) << "edge " << e;
        FreeImageTriple(&out.image);
    }
    FreeImageTriple(&glyph.image);
    CloseFontObject(vera);
    ShutdownFontSystem();
}

// TextOut of plain antialiased text blends its glyphs straight into the output: the pixels must be those of
// its laid-out image blitted there, where glyphs overlap (kerned, slanted, bold, across lines and runs) and
// where the text runs off the bitmap's edges.
TEST(TextEffects, PlainAntialiasedTextBlendsAsItsImageWould) {
    FontHandle *topaz = nullptr, *vera = nullptr;
    ASSERT_EQ(InitFontSystem(&topaz), 0);
    ASSERT_EQ(OpenFontObject("Bitstream Vera Sans", 24, kFontEngineInbuilt, 1, 0, &vera), 0);
    static HostBitmap *target = nullptr;
    HostBitmap *(*const savedHook)() = CurrentOutputBitmapHook;
    CurrentOutputBitmapHook = [] { return target; };
    HostBitmap *expected = AllocHostBitmap(300, 120);
    target = AllocHostBitmap(300, 120);
    const char *texts[] = {
        "AVAWAY Tojo ffi r\xe9sum\xe9 with kerned pairs, wrapped",
        "[i]Slanted lwfk[/i] and [b]bold Wmj[/b] runs, [i][b]both AV[/b][/i] gjpqy\n\xc9\xc0\xd4\xc5 \xc7",
        "[i]gjpqy gjpqy gjpqy[/i]\n[i]\xc9\xc0\xd4\xc5 fff ///[/i]",
        "[i]ff fj Tf f) f' f\" rf[/i]",
        "[b]fj ff Yj T, ___ WW[/b]",
        "[i][b]ff fj Tf f) f' _______ ///[/b][/i]",
        "[i]f[/i]f[i]f[/i]j [b]f[/b]j [b]_[/b]_[b]_[/b] [i][b]f[/b][/i]j[i][b]f[/b]/[/i]/",
    };
    for (const char *text : texts)
        for (auto [x, y] : {std::pair{4, 3}, {-17, -9}, {220, 95}}) {
            for (int32_t j = 0; j < 120; j++)
                for (int32_t i = 0; i < 300; i++)
                    HostBitmapRow32(expected, j)[i] = HostBitmapRow32(target, j)[i] =
                        uint32_t(i * 2654435761u ^ j * 40503u);
            TextDrawParams params;
            params.style.font = vera;
            params.style.style = kTextNormal | kTextAntialias;
            params.style.color = 0x1F9D4C;
            params.text = text;
            params.rightMargin = 240;
            params.x = x, params.y = y;
            TextDrawParams image = params;
            RenderedText laidOut;
            ASSERT_EQ(LayoutText(nullptr, &image, ObjectKindTextOut, DisplayTransform{}, 0, &laidOut), 0);
            SAFEBLT(laidOut.image.bitmap, 0, 0, expected, laidOut.anchorX, laidOut.anchorY,
                    laidOut.image.width, laidOut.image.height, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap,
                    nullptr, laidOut.image.alpha, nullptr);
            FreeImageTriple(&laidOut.image);
            TextDrawParams placed = params;
            ASSERT_EQ(LayoutText(nullptr, &placed, ObjectKindTextOut, DisplayTransform{}, kLayoutCoverageOnly,
                                 &laidOut),
                      0);
            EXPECT_TRUE(laidOut.glyphs && !laidOut.image.alpha) << "the glyphs are placed, no plane is made";
            ASSERT_EQ(DrawText(nullptr, nullptr, nullptr, &params, ObjectKindTextOut, false,
                               DisplayTransform{}, nullptr, 0, nullptr),
                      0);
            int differing = 0;
            for (int32_t j = 0; j < 120; j++)
                for (int32_t i = 0; i < 300; i++)
                    differing += HostBitmapRow32(expected, j)[i] != HostBitmapRow32(target, j)[i];
            EXPECT_EQ(differing, 0) << "at " << x << "," << y << ": " << text;
        }
    CurrentOutputBitmapHook = savedHook;
    FreeHostBitmap(target);
    FreeHostBitmap(expected);
    CloseFontObject(vera);
    ShutdownFontSystem();
}

// Placed glyphs blend straight only where finding the overlapping ones stays a few comparisons a glyph: lines
// whose boxes touch still do; a run whose pen goes back over itself, or runs piled on one another, do not.
TEST(TextEffects, PlacedGlyphsBlendStraightOnlyWhereOverlapsAreFoundCheaply) {
    struct Case {
        const char *what;
        int runs, perRun, advance, lineStep;
        bool cheap;
    } cases[] = {
        {"a line of kerned glyphs", 1, 2000, 10, 0, true},
        {"lines whose boxes touch", 14, 150, 12, 17, true},
        {"a pen that never moves", 1, 2000, 0, 0, false},
        {"runs piled on one another", 200, 20, 12, 0, false},
    };
    for (const Case &c : cases) {
        PlacedGlyphs placed;
        for (int r = 0; r < c.runs; r++) {
            for (int i = 0; i < c.perRun; i++)
                placed.glyphs.push_back({nullptr, 16, 12, 18, i * c.advance, r * c.lineStep});
            placed.runEnds.push_back(placed.glyphs.size());
        }
        EXPECT_EQ(PlacedGlyphsBlendCheaply(placed), c.cheap) << c.what;
    }
}

} // namespace
