// SaveBrush and SaveSnapshot in PNG, JPEG, GIF and ILBM in the real player, headless; the files are decoded by
// libpng, libjpeg-turbo (through the picture loader), our GIF and ILBM readers and netpbm.
#include "tests/player/player_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "host/memory.h"
#include "host/picture.h"
#include "host/virtual_file.h"
#include "tests/media/read_back.h"

namespace {

struct Decoded {
    int error = -1;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> alpha;
    int64_t transparent = -1;
};

Decoded Load(const std::string &path) {
    Decoded d;
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    d.error = LoadPictureDatatype(path.c_str(), 1, &pixels, &alpha, &d.transparent, &d.width, &d.height);
    if (d.error) return d;
    d.pixels.assign(pixels, pixels + size_t(d.width) * size_t(d.height));
    for (uint32_t &p : d.pixels) p &= 0xFFFFFF;
    FreeBlock(pixels);
    if (alpha) {
        for (int32_t y = 0; y < alpha->height; ++y)
            for (int32_t x = 0; x < alpha->width; ++x) d.alpha.push_back(alpha->bytes[size_t(y * alpha->bytesPerRow + x)]);
        FreeAlphaPlane(alpha);
    }
    return d;
}

// The test brush: blue, a red box at (0,0) 11x9, a white one at (11,9) 22x8, a $123456 one at (20,0) 5x5.
// The frames of an AVI file whose chunks fit together, with two streams and the frame count in its header.
std::vector<std::string> AviFrames(const std::string &path) {
    const RiffFile avi = ReadRiff(path);
    EXPECT_TRUE(avi.whole && avi.Data("strh").size() == 2 && avi.U32(48) == avi.Data("01dc").size()) << path;
    return avi.Data("01dc");
}

uint32_t Expected(int x, int y) {
    if (x >= 20 && x < 25 && y < 5) return 0x123456;
    if (x >= 11 && y >= 9) return 0xFFFFFF;
    if (x < 11 && y < 9) return 0xFF0000;
    return 0x0000FF;
}

} // namespace

TEST(PictureSaversInPlayer, FormatsRoundTripAndFailuresAreReported) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 40, Height = 30, Color = $000000}\n") +
                               kTryFunction + R"(CreateBrush(1, 33, 17, $0000FF)
CreateBrush(2, 11, 9, $FF0000)
CreateBrush(3, 22, 8, $FFFFFF)
CreateBrush(4, 5, 5, $123456)
SelectBrush(1)
DisplayBrush(2, 0, 0)
DisplayBrush(3, 11, 9)
DisplayBrush(4, 20, 0)
EndSelect()
SaveBrush(1, "rgb.png", 0, #IMGFMT_PNG)
SaveBrush(1, "rgb.jpg", 0, #IMGFMT_JPEG, {quality = 90})
SaveBrush(1, "rgb.gif", 0, #IMGFMT_GIF)
SaveBrush(1, "rgb.iff", 0, #IMGFMT_ILBM)
SaveBrush(1, "two.gif", 0, #IMGFMT_GIF, {colors = 2})
CreateBrush(5, 40, 16, $FF0000, {alphachannel = True, clear = True})
SelectAlphaChannel(5)
SetAlphaIntensity(255)
Print("HI")
EndSelect()
SaveBrush(5, "alpha.png", 0, #IMGFMT_PNG)
CreateBrush(6, 40, 16, $FFFF00, {mask = True, clear = True})
SelectMask(6)
Print("HI")
EndSelect()
SaveBrush(6, "masked.gif", $FF00FF, #IMGFMT_GIF)
DisplayBrush(1, 0, 0)
SaveSnapshot("screen.png", #IMGFMT_PNG)
SaveBrush(1, "old.png", 0, #IMGFMT_PNG)
CreateGradientBGPic(2, 0, $FF8000, $2040FF, 40, 30)
DisplayBGPic(2)
SaveSnapshot("smooth.png", #IMGFMT_PNG)
SaveSnapshot("smooth.jpg", #IMGFMT_JPEG, 90)
Try(SaveBrush, 1, "/dev/full", 0, #IMGFMT_PNG)
Try(SaveBrush, 1, "/dev/full", 0, #IMGFMT_JPEG)
Try(SaveBrush, 1, "/dev/full", 0, #IMGFMT_GIF)
Try(SaveBrush, 1, "/dev/full", 0, #IMGFMT_ILBM)
Try(SaveSnapshot, "no/such/dir/x.png", #IMGFMT_PNG)
Try(SaveBrush, 1, "x", 0, 5))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1052\n1052\n1052\n1052\n1052\n1055\n");

    // Lossless formats give the exact pixels back, through three different readers.
    for (const char *name : {"rgb.png", "rgb.gif", "rgb.iff", "old.png"}) {
        const Decoded d = Load(dir.File(name));
        ASSERT_EQ(d.error, 0) << name;
        ASSERT_EQ(d.width, 33) << name;
        ASSERT_EQ(d.height, 17) << name;
        int wrong = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 33; ++x) wrong += d.pixels[size_t(y * 33 + x)] != Expected(x, y);
        EXPECT_EQ(wrong, 0) << name;
        EXPECT_EQ(d.transparent, -1) << name; // no real colour is keyed
    }
    const Decoded screen = Load(dir.File("screen.png"));
    ASSERT_EQ(screen.error, 0);
    ASSERT_EQ(screen.width, 40);
    EXPECT_EQ(screen.pixels[size_t(10 * 40 + 20)], 0xFFFFFFu);
    EXPECT_EQ(screen.pixels[size_t(29 * 40 + 39)], 0u);

    // An independent ILBM reader agrees.
    const PlayerRun ppm = RunProgramCapture("/bin/sh", {"-c", "ilbmtoppm rgb.iff > rgb.ppm"}, dir.path);
    ASSERT_EQ(ppm.exitCode, 0) << ppm.err;
    const std::vector<uint8_t> p6 = ReadFileBytes(dir.File("rgb.ppm"));
    const std::string head = "P6\n33 17\n255\n";
    ASSERT_EQ(p6.size(), head.size() + 33 * 17 * 3);
    EXPECT_EQ(std::string(p6.begin(), p6.begin() + long(head.size())), head);
    for (int i = 0; i < 33 * 17; ++i) {
        const uint8_t *p = p6.data() + head.size() + size_t(i) * 3;
        ASSERT_EQ(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2], Expected(i % 33, i / 33)) << i;
    }

    // JPEG: JFIF header, PSNR of at least 35 dB at quality 90, pure blue stays blue.
    const std::vector<uint8_t> jpeg = ReadFileBytes(dir.File("rgb.jpg"));
    ASSERT_GT(jpeg.size(), 10u);
    EXPECT_EQ(std::string(jpeg.begin(), jpeg.begin() + 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 10), "JFIF");
    const Decoded lossy = Load(dir.File("rgb.jpg")), smooth = Load(dir.File("smooth.png")),
                  smoothJpeg = Load(dir.File("smooth.jpg"));
    ASSERT_EQ(lossy.error, 0);
    ASSERT_EQ(smooth.error, 0);
    ASSERT_EQ(smoothJpeg.error, 0);
    ASSERT_EQ(smoothJpeg.pixels.size(), size_t(40 * 30));
    EXPECT_NE(smooth.pixels.front(), smooth.pixels.back());
    double squares = 0;
    for (size_t i = 0; i < smooth.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const double diff = double(smoothJpeg.pixels[i] >> shift & 255) - double(smooth.pixels[i] >> shift & 255);
            squares += diff * diff;
        }
    EXPECT_GE(10 * std::log10(255.0 * 255.0 / (squares / (40 * 30 * 3))), 35.0);
    const uint32_t blue = lossy.pixels[size_t(14 * 33 + 3)];
    EXPECT_GT(blue & 255, 230u);
    EXPECT_LT(blue >> 16, 25u);

    // Two colours; alpha from the brush's alpha channel; a mask keys the given colour.
    const Decoded two = Load(dir.File("two.gif"));
    ASSERT_EQ(two.error, 0);
    std::vector<uint32_t> colours(two.pixels);
    std::sort(colours.begin(), colours.end());
    EXPECT_EQ(std::unique(colours.begin(), colours.end()) - colours.begin(), 2);
    const Decoded alpha = Load(dir.File("alpha.png"));
    ASSERT_EQ(alpha.error, 0);
    ASSERT_EQ(alpha.alpha.size(), size_t(40 * 16));
    int opaque = 0, clear = 0;
    for (size_t i = 0; i < alpha.alpha.size(); ++i) {
        opaque += alpha.alpha[i] == 255;
        clear += alpha.alpha[i] == 0;
        if (alpha.alpha[i] == 255) {
            EXPECT_EQ(alpha.pixels[i], 0xFF0000u);
        }
    }
    EXPECT_GT(opaque, 10);
    EXPECT_GT(clear, 300);
    const Decoded masked = Load(dir.File("masked.gif"));
    ASSERT_EQ(masked.error, 0);
    EXPECT_EQ(masked.transparent, 0xFF00FF);
    EXPECT_GT(std::count(masked.pixels.begin(), masked.pixels.end(), 0xFF00FFu), 10);
    EXPECT_GT(std::count(masked.pixels.begin(), masked.pixels.end(), 0xFFFF00u), 10);
}

TEST(PictureSaversInPlayer, SaveAnimWritesAnimatedGif) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif", dir.File("anim.gif"));
    const std::string script = std::string("@DISPLAY {Width = 40, Height = 30}\n") +
                               kTryFunction + R"(LoadAnim(1, "anim.gif")
SaveAnim(1, "copy.gif")
SaveAnim(1, "two.gif", #ANMFMT_GIF, {colors = 2, dither = True})
Try(SaveAnim, 1, "copy.gif", #ANMFMT_GIF, {colors = 1})
Try(SaveAnim, 1, "copy.gif", #ANMFMT_GIF, {colors = 257})
Try(SaveAnim, 1, "copy.gif", 2)
SaveAnim(1, "copy.avi", #ANMFMT_MJPEG)
Try(SaveAnim, 1, "bad.avi", #ANMFMT_MJPEG, {fps = 24})
Try(SaveAnim, 1, "/dev/full", #ANMFMT_MJPEG)
Try(SaveAnim, 1, "/dev/full")
Try(SaveAnim, 9, "x.gif")
; Copies, of an anim in memory and of one read from disk, save the same frames.
CopyAnim(1, 2)
h = CopyAnim(1, Nil)
LoadAnim(4, "anim.gif", {fromdisk = True})
CopyAnim(4, 5)
FreeAnim(4)
SaveAnim(2, "copy2.gif")
SaveAnim(h, "copy3.gif")
SaveAnim(5, "copy5.gif")
Try(CopyAnim, 1, 1)
Try(CopyAnim, 9, 3)
; Frames added at the end and before frame 1, and the first one removed.
ModifyAnimFrames(2, 2)
SaveAnim(2, "added.gif")
ModifyAnimFrames(h, 1, 1)
SaveAnim(h, "before.gif")
CopyAnim(1, 6)
ModifyAnimFrames(6, -1, 1)
SaveAnim(6, "removed.gif")
Try(ModifyAnimFrames, 1, 0)
Try(ModifyAnimFrames, 1, -1000)
Try(ModifyAnimFrames, 1, 2, 1000)
Try(ModifyAnimFrames, 1, -1, -1)
Try(ModifyAnimFrames, 5, 1)
CopyAnim(1, 7)
ScaleAnim(7, "50%", #KEEPASPRAT)
SaveAnim(7, "half.gif")
Try(ScaleAnim, 7, #KEEPASPRAT, #KEEPASPRAT))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1055\n1055\n1055\n1055\n1052\n1052\n1176\n1055\n1176\n1055\n1055\n1055\n1055\n1338\n1055\n");
    const auto frames = [&](const char *name) { return ReadGifFrames(dir.File(name)); };
    const auto source = frames("anim.gif"), copy = frames("copy.gif"), two = frames("two.gif");
    ASSERT_GT(source.size(), 1u);
    EXPECT_EQ(AviFrames(dir.File("copy.avi")).size(), source.size());
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.avi")));
    EXPECT_EQ(copy, source);
    for (const char *name : {"copy2.gif", "copy3.gif", "copy5.gif"}) EXPECT_EQ(frames(name), source) << name;
    const ShownGifFrame black{std::vector<uint32_t>(source[0].pixels.size(), 0), 0};
    auto added = source, before = source, removed = source;
    added.insert(added.end(), 2, black);
    before.insert(before.begin(), black);
    removed.erase(removed.begin());
    EXPECT_EQ(frames("added.gif"), added);
    EXPECT_EQ(frames("before.gif"), before);
    EXPECT_EQ(frames("removed.gif"), removed);
    int32_t w = 0, h = 0, halfW = 0, halfH = 0;
    ReadGifFrames(dir.File("anim.gif"), &w, &h);
    EXPECT_EQ(ReadGifFrames(dir.File("half.gif"), &halfW, &halfH).size(), source.size());
    EXPECT_EQ(std::pair(halfW, halfH), std::pair(w / 2, (h * (w / 2) * 2 + w) / (2 * w)));
    ASSERT_EQ(two.size(), source.size());
    for (const auto &frame : two) {
        std::vector<uint32_t> colours = frame.pixels;
        std::sort(colours.begin(), colours.end());
        EXPECT_LE(std::unique(colours.begin(), colours.end()) - colours.begin(), 2);
    }
}

TEST(PictureSaversInPlayer, AnimStreamsWriteFramesFromBrushes) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 40, Height = 30}\n") +
                               kTryFunction + R"(CreateBrush(1, 4, 2, $FF0000)
BeginAnimStream(1, "stream.gif", 10, 6)
WriteAnimFrame(1, 1, {x = #CENTER, y = #CENTER, delay = 50})
WriteAnimFrame(1, 1, {transparency = $00FF00})
FinishAnimStream(1)
Try(FinishAnimStream, 1)
Try(BeginAnimStream, 2, "x.gif", 0, 5)
Try(BeginAnimStream, 2, "x.gif", 5, 5, 7)
BeginAnimStream(2, "x.avi", 5, 5, #ANMFMT_MJPEG)
Try(WriteAnimFrame, 3, 1)
BeginAnimStream(4, "stream.avi", 10, 6, #ANMFMT_MJPEG, {fps = 30, quality = 95})
WriteAnimFrame(4, 1, {x = #CENTER, y = #CENTER})
FinishAnimStream(4)
Try(FinishAnimStream, 4)
; Cells of a brush become frames.
CreateBrush(2, 2, 1, $00FF00)
SelectBrush(1)
DisplayBrush(2, 2, 1)
EndSelect()
a = CreateAnim(Nil, 1, 2, 1, 4, 2)
SaveAnim(a, "cells.gif")
Try(CreateAnim, 3, 1, 5, 1, 1, 1)
s = BeginAnimStream(Nil, "open.gif", 3, 3)
WriteAnimFrame(s, 1)
m = BeginAnimStream(Nil, "open.avi", 4, 2, #ANMFMT_MJPEG)
WriteAnimFrame(m, 1))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1341\n1055\n1055\n1341\n1341\n1156\n");
    // MJPEG streams: one finished, one left open with no frame and one with a frame, both finished at the end.
    for (const auto &[name, frames] : {std::pair("stream.avi", size_t(1)), {"x.avi", 0}, {"open.avi", 1}})
        EXPECT_EQ(AviFrames(dir.File(name)).size(), frames) << name;
    int32_t w = 0, h = 0;
    const std::vector<uint32_t> pixels = DecodePicture(AviFrames(dir.File("stream.avi"))[0], &w, &h);
    ASSERT_EQ(pixels.size(), 60u);
    EXPECT_GT(pixels[3 * 10 + 5] >> 16, 0x80u); // red, blurred by the chroma subsampling of so small a picture
    EXPECT_LT(pixels[3 * 10 + 5] & 0xFFFF, 0x6060u);
    EXPECT_LT(pixels[0], 0x202020u);
    // A brush drawn into a frame of 10 x 6 (black or the transparent colour); transparent pixels show the
    // frame before.
    const uint32_t R = 0xFF0000, K = 0, G = 0x00FF00;
    const auto frame = [&](int w, int h, int x, int y, std::vector<uint32_t> under) {
        if (under.empty()) under.assign(size_t(w * h), K);
        for (int j = y; j < y + 2 && j < h; ++j)
            for (int i = x; i < x + 4 && i < w; ++i) under[size_t(j * w + i)] = R;
        return under;
    };
    const std::vector<uint32_t> centred = frame(10, 6, 3, 2, {});
    const struct {
        const char *name;
        std::vector<ShownGifFrame> frames;
    } files[] = {
        {"stream.gif", {{centred, 50}, {frame(10, 6, 0, 0, centred), 0}}},
        {"open.gif", {{{R, R, R, R, R, G, K, K, K}, 0}}},
        {"cells.gif", {{{R, R}, 0}, {{R, R}, 0}, {{R, R}, 0}, {{G, G}, 0}}},
    };
    for (const auto &file : files) EXPECT_EQ(ReadGifFrames(dir.File(file.name)), file.frames) << file.name;
}
