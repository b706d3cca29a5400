// The outline engine over FreeType: glyph maps of the font file the tags name, at a point height and resolution.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <new>
#include <string>

#include "host/path.h"
#include "text/fonts/outline_engine.h"

namespace {

// Far past any text size; keeps a single glyph's bitmap to a few megabytes.
constexpr FT_Long kMaxPixelsPerEm = 4000;

class FreeTypeOutlineEngine final : public OutlineEngine {
public:
    explicit FreeTypeOutlineEngine(FT_Library library) : library_(library) {}
    ~FreeTypeOutlineEngine() override {
        if (face_) FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }

    int SetTags(const OutlineTags &tags) override {
        std::string host;
        if (face_ || tags.fontFile.empty() || !ResolveHostPath(tags.fontFile.c_str(), &host)) return 1;
        if (FT_New_Face(library_, host.c_str(), 0, &face_)) {
            face_ = nullptr;
            return 1;
        }
        return FT_IS_SCALABLE(face_) ? 0 : 1;
    }

    int SetSize(uint32_t dpiX, uint32_t dpiY, uint32_t pointHeight) override {
        sized_ = false;
        const uint64_t pixels = uint64_t(pointHeight >> 16) * std::max(dpiX, dpiY) / 72;
        if (!face_ || dpiX == 0 || dpiY == 0 || pointHeight < 0x10000 || pixels > uint64_t(kMaxPixelsPerEm)) return 1;
        if (FT_Set_Char_Size(face_, 0, FT_F26Dot6(pointHeight >> 10), dpiX, dpiY)) return 1;
        sized_ = face_->size->metrics.x_ppem > 0;
        return sized_ ? 0 : 1;
    }

    int SetShear(int32_t sine, int32_t cosine) override {
        if (!face_ || cosine <= 0) return 1;
        FT_Matrix shear{0x10000, FT_DivFix(sine, cosine), 0, 0x10000};
        FT_Set_Transform(face_, &shear, nullptr);
        return 0;
    }

    int SetEmbolden(int32_t x, int32_t y) override {
        if (x < 0 || y < 0 || x > 0x10000 || y > 0x10000) return 1;
        emboldenX_ = x;
        emboldenY_ = y;
        return 0;
    }

    int SetGlyphCodes(uint32_t code, uint32_t next) override {
        if (!face_) return 1;
        glyph_ = FT_Get_Char_Index(face_, code);
        next_ = next ? FT_Get_Char_Index(face_, next) : 0;
        return 0;
    }

    int ObtainGlyphMap(bool eightBit, OutlineGlyphMap *map) override {
        // A character the font lacks has no map: the caller skips it (or stands in for a blank).
        if (!sized_ || !glyph_) return 1;
        if (FT_Load_Glyph(face_, glyph_, FT_LOAD_NO_AUTOHINT | FT_LOAD_NO_BITMAP)) return 1;
        const FT_GlyphSlot slot = face_->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return 1;
        const FT_Long ppem = face_->size->metrics.x_ppem;
        // Strengths in 1/64 pixel from fractions of the em.
        const FT_Pos strengthX = FT_Pos(int64_t(emboldenX_) * ppem * 64 / 0x10000);
        const FT_Pos strengthY = FT_Pos(int64_t(emboldenY_) * face_->size->metrics.y_ppem * 64 / 0x10000);
        if ((strengthX || strengthY) && FT_Outline_EmboldenXY(&slot->outline, strengthX, strengthY)) return 1;
        if (FT_Render_Glyph(slot, eightBit ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO)) return 1;
        const FT_Bitmap &bitmap = slot->bitmap;
        if (bitmap.pitch < 0 || (bitmap.rows && !bitmap.buffer)) return 1;
        *map = OutlineGlyphMap{};
        map->bits = bitmap.buffer;
        map->bytesPerRow = bitmap.pitch;
        map->columns = map->blackWidth = int32_t(bitmap.width);
        map->rows = map->blackHeight = int32_t(bitmap.rows);
        map->x0 = -slot->bitmap_left;
        map->y0 = slot->bitmap_top;
        // Whole pixels, as the hinted advance is: the glyph grew by about that much.
        const int64_t advance = int64_t(slot->advance.x) + ((strengthX + 32) & ~FT_Pos(63));
        map->width = int32_t(std::clamp<int64_t>(advance * 1024 / ppem, INT32_MIN, INT32_MAX));
        return 0;
    }

    void ReleaseGlyphMap(OutlineGlyphMap *map) override { *map = OutlineGlyphMap{}; }

    int ObtainKernPair(int32_t *kern) override {
        FT_Vector kerning{};
        if (!face_ || !glyph_ || !next_ || !FT_HAS_KERNING(face_) || face_->units_per_EM == 0 ||
            FT_Get_Kerning(face_, glyph_, next_, FT_KERNING_UNSCALED, &kerning))
            return 1;
        *kern = int32_t(-int64_t(kerning.x) * 0x10000 / face_->units_per_EM);
        return 0;
    }

private:
    FT_Library library_;
    FT_Face face_ = nullptr;
    bool sized_ = false;
    FT_UInt glyph_ = 0, next_ = 0;
    int32_t emboldenX_ = 0, emboldenY_ = 0;
};

} // namespace

std::unique_ptr<OutlineEngine> MakeFreeTypeOutlineEngine() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) return nullptr;
    std::unique_ptr<OutlineEngine> engine(new (std::nothrow) FreeTypeOutlineEngine(library));
    if (!engine) FT_Done_FreeType(library);
    return engine;
}
