#include "host/os/image_decode.h"

#include "host/bitmap.h"
#include "host/os/lazy_library.h"
#include "host/virtual_file.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <mutex>

namespace {

// SDL2_image and the libraries behind it (TIFF, WebP, ...) are loaded with dlopen at the first picture that
// reaches it: an applet without such pictures does not pay for them at start-up.
static_assert(SDL_IMAGE_MAJOR_VERSION == 2, "the soname below is SDL2_image's");
constexpr char kImageLibrary[] = "libSDL2_image-2.0.so.0";

#define VL_IMAGE_FUNCTIONS(X)                                                                                  \
    X(IMG_isPCX) X(IMG_isBMP) X(IMG_isJPG) X(IMG_isPNG) X(IMG_isPNM) X(IMG_isTIF) X(IMG_isWEBP) X(IMG_isQOI)      \
    X(IMG_LoadPCX_RW) X(IMG_LoadBMP_RW) X(IMG_LoadJPG_RW) X(IMG_LoadPNG_RW) X(IMG_LoadPNM_RW) X(IMG_LoadTIF_RW)  \
    X(IMG_LoadWEBP_RW) X(IMG_LoadQOI_RW)

VL_LAZY_LIBRARY_TABLE(ImageFunctions, VL_IMAGE_FUNCTIONS);

// The table, loaded once; null when the library or a function is missing.
const ImageFunctions *ImageLibrary() {
    return LoadLazyLibrary<ImageFunctions>({kImageLibrary}, "Pictures other than GIF and IFF cannot be read");
}

// SDL2_image sizes surfaces from headers it never checks against the data (a damaged GIF's later frame may claim
// 65535 x 65535 pixels after the first one failed), so while a picture decodes, one SDL allocation may not
// exceed the largest picture we take (1 << 26 pixels of 4 bytes) plus room for row padding.
constexpr size_t kMaxDecodeAllocation = (size_t(1) << 28) + (size_t(1) << 20);

thread_local bool decoding = false;
SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;

void *LimitedMalloc(size_t size) { return decoding && size > kMaxDecodeAllocation ? nullptr : sdlMalloc(size); }
void *LimitedCalloc(size_t count, size_t size) {
    if (decoding && size && count > kMaxDecodeAllocation / size) return nullptr;
    return sdlCalloc(count, size);
}
void *LimitedRealloc(void *block, size_t size) {
    return decoding && size > kMaxDecodeAllocation ? nullptr : sdlRealloc(block, size);
}
void LimitedFree(void *block) { sdlFree(block); }

// The wrappers hand everything to SDL's own functions, so blocks allocated before they were installed free fine.
void LimitSdlAllocations() {
    static std::once_flag once;
    std::call_once(once, [] {
        SDL_GetMemoryFunctions(&sdlMalloc, &sdlCalloc, &sdlRealloc, &sdlFree);
        SDL_SetMemoryFunctions(LimitedMalloc, LimitedCalloc, LimitedRealloc, LimitedFree);
    });
}

struct DecodingScope {
    DecodingScope() { decoding = true; }
    ~DecodingScope() { decoding = false; }
};

Sint64 RwSize(SDL_RWops *rw) { return VirtualFileLength(static_cast<VirtualFile *>(rw->hidden.unknown.data1)); }

Sint64 RwSeek(SDL_RWops *rw, Sint64 offset, int whence) {
    auto *file = static_cast<VirtualFile *>(rw->hidden.unknown.data1);
    int mode = whence == RW_SEEK_SET ? kSeekFromStart : whence == RW_SEEK_CUR ? kSeekFromCurrent : kSeekFromEnd;
    if (SeekVirtualFile(file, offset, mode) < 0) return SDL_SetError("seek outside the file");
    return SeekVirtualFile(file, 0, kSeekFromCurrent);
}

size_t RwRead(SDL_RWops *rw, void *buffer, size_t size, size_t count) {
    if (size == 0 || count == 0) return 0;
    auto *file = static_cast<VirtualFile *>(rw->hidden.unknown.data1);
    int64_t got = ReadVirtualFile(file, buffer, size * count);
    return got <= 0 ? 0 : size_t(got) / size;
}

size_t RwWrite(SDL_RWops *, const void *, size_t, size_t) { return 0; }

// The VirtualFile belongs to the caller; closing the RWops only frees the wrapper.
int RwClose(SDL_RWops *rw) {
    SDL_FreeRW(rw);
    return 0;
}

SDL_RWops *RWFromVirtualFile(VirtualFile *file) {
    SDL_RWops *rw = SDL_AllocRW();
    if (!rw) return nullptr;
    rw->size = RwSize;
    rw->seek = RwSeek;
    rw->read = RwRead;
    rw->write = RwWrite;
    rw->close = RwClose;
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = file;
    return rw;
}

// A PCX header whose window or line length does not add up would make the reader allocate from garbage.
bool PcxHeaderSane(SDL_RWops *rw) {
    Uint8 h[128];
    Sint64 start = SDL_RWtell(rw);
    bool ok = SDL_RWread(rw, h, 1, sizeof h) == sizeof h;
    SDL_RWseek(rw, start, RW_SEEK_SET);
    if (!ok) return false;
    auto u16 = [&](int at) { return int(h[at] | h[at + 1] << 8); };
    int xmin = u16(4), ymin = u16(6), xmax = u16(8), ymax = u16(10);
    int bits = h[3], planes = h[65], bytesPerLine = u16(66);
    if (xmax < xmin || ymax < ymin) return false;
    int width = xmax - xmin + 1, height = ymax - ymin + 1;
    if (width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
    if (planes < 1 || planes > 4) return false;
    return bytesPerLine >= (width * bits + 7) / 8 && bytesPerLine <= width * bits / 8 + 8;
}

using Loader = SDL_Surface *(*)(SDL_RWops *);

// The reader of the recognised format, to be called directly: IMG_Load_RW takes the first of all its readers
// whose test matches, unsafe ones included (an "<svg" anywhere in a QOI, TIFF or WebP file picks the SVG reader).
Loader Recognised(const ImageFunctions &img, SDL_RWops *rw) {
    if (img.IMG_isPCX(rw)) return PcxHeaderSane(rw) ? img.IMG_LoadPCX_RW : nullptr;
    if (img.IMG_isBMP(rw)) return img.IMG_LoadBMP_RW;
    if (img.IMG_isJPG(rw)) return img.IMG_LoadJPG_RW;
    if (img.IMG_isPNG(rw)) return img.IMG_LoadPNG_RW;
    if (img.IMG_isPNM(rw)) return img.IMG_LoadPNM_RW;
    if (img.IMG_isTIF(rw)) return img.IMG_LoadTIF_RW;
    if (img.IMG_isWEBP(rw)) return img.IMG_LoadWEBP_RW;
    if (img.IMG_isQOI(rw)) return img.IMG_LoadQOI_RW;
    return nullptr;
}

// Indexed pictures are read through their palette, so the colour key stays a colour (not an alpha value) and a
// palette with per-entry alpha becomes an alpha channel.
void FromIndexed(SDL_Surface *s, DecodedImage *out) {
    SDL_Palette *pal = s->format->palette;
    Uint32 key = 0;
    bool keyed = SDL_GetColorKey(s, &key) == 0;
    auto colourOf = [&](Uint32 i) -> uint32_t {
        if (!pal || int(i) >= pal->ncolors) return 0xFF000000;
        const SDL_Color &c = pal->colors[i];
        return uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    };
    if (keyed) out->transparent = colourOf(key) & 0xFFFFFF;
    int bits = s->format->BitsPerPixel;
    for (int y = 0; y < s->h; y++) {
        const Uint8 *row = static_cast<const Uint8 *>(s->pixels) + size_t(y) * size_t(s->pitch);
        for (int x = 0; x < s->w; x++) {
            Uint32 i;
            if (bits == 8) i = row[x];
            else if (bits == 4) i = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            else if (bits == 2) i = (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
            else i = (row[x >> 3] >> (7 - (x & 7))) & 1;
            uint32_t c = colourOf(i);
            if ((c >> 24) != 255) out->hasAlpha = true;
            out->pixels[size_t(y) * size_t(s->w) + size_t(x)] = c;
        }
    }
}

} // namespace

int DecodeImageSDL(VirtualFile *file, DecodedImage *out) {
    *out = DecodedImage{};
    const ImageFunctions *img = ImageLibrary();
    if (!img) return kDecodeUnknownFormat;
    LimitSdlAllocations();
    DecodingScope scope;
    SDL_RWops *rw = RWFromVirtualFile(file);
    if (!rw) return kDecodeFailed;
    Loader load = Recognised(*img, rw);
    if (!load) {
        SDL_RWclose(rw);
        return kDecodeUnknownFormat;
    }
    SDL_Surface *surface = load(rw);
    SDL_RWclose(rw);
    if (!surface) return kDecodeFailed;
    int result = 0;
    // An 8-bit surface within the allocation limit may still hold more pixels than we copy out at 4 bytes each.
    if (surface->w <= 0 || surface->h <= 0 || surface->w > kMaxBitmapSide || surface->h > kMaxBitmapSide ||
        size_t(surface->w) * size_t(surface->h) > kMaxDecodeAllocation / 4) {
        SDL_FreeSurface(surface);
        return kDecodeFailed;
    }
    out->width = surface->w;
    out->height = surface->h;
    out->pixels.assign(size_t(surface->w) * size_t(surface->h), 0);
    if (SDL_ISPIXELFORMAT_INDEXED(surface->format->format)) {
        FromIndexed(surface, out);
    } else {
        Uint32 key = 0;
        bool keyed = SDL_GetColorKey(surface, &key) == 0;
        if (keyed) {
            Uint8 r, g, b;
            SDL_GetRGB(key, surface->format, &r, &g, &b);
            out->transparent = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
            SDL_SetColorKey(surface, SDL_FALSE, 0); // keep key pixels as colours, not as transparency
        }
        bool sourceAlpha = SDL_ISPIXELFORMAT_ALPHA(surface->format->format);
        SDL_Surface *argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
        if (!argb) {
            result = kDecodeFailed;
        } else {
            // An alpha channel counts as alpha even where every pixel is opaque: the picture says it has one.
            out->hasAlpha = sourceAlpha;
            SDL_LockSurface(argb);
            for (int y = 0; y < argb->h; y++) {
                const Uint32 *row =
                    reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(argb->pixels) + size_t(y) * argb->pitch);
                uint32_t *d = out->pixels.data() + size_t(y) * size_t(argb->w);
                for (int x = 0; x < argb->w; x++) {
                    uint32_t p = sourceAlpha ? row[x] : (row[x] | 0xFF000000);
                    d[x] = p;
                }
            }
            SDL_UnlockSurface(argb);
            SDL_FreeSurface(argb);
        }
    }
    SDL_FreeSurface(surface);
    return result;
}
