// The viewer's geometry without a widget: zoom, mapping, scrolling, the cut
// lines under the pointer and their dragging, the overlay cells, the panel
// lines and the scaled picture.

#include "ui/view/view_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "ui/view/cut_lines.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/overlay_layout.h"
#include "ui/view/panel_text.h"
#include "ui/view/resample.h"

namespace tessarin {
namespace {

ViewModel View(int imageW, int imageH, int clientW, int clientH, double rate = 1.1) {
    ViewModel v;
    v.SetImageSize(imageW, imageH);
    v.SetClientSize(clientW, clientH);
    v.SetRate(rate);
    return v;
}

TEST(ViewModel, FitCentresAndBoundsTheZoom) {
    ViewModel v = View(400, 300, 800, 500);
    v.FitToWindow();
    // The width ratio 2 would overflow the height: the scale is 500 / 300.
    EXPECT_NEAR(v.Zoom().steps, std::log(5.0 / 3) / std::log(1.1), 1e-12);
    EXPECT_NEAR(v.Zoom().steps, 5.36, 0.005);
    EXPECT_EQ(v.DisplayedWidth(), 666);
    EXPECT_EQ(v.DisplayedHeight(), 500);
    EXPECT_EQ(v.OriginX(), 67);
    EXPECT_EQ(v.OriginY(), 0);
    v.ApplyInitialZoom(true);
    EXPECT_EQ(v.Zoom().steps, 0);

    ViewModel one = View(400, 300, 800, 500, 1);
    one.FitToWindow();
    EXPECT_EQ(one.Zoom().steps, 0);
    EXPECT_FALSE(one.Wheel(120));

    // A rate below 1 turns the wheel round; a fine wheel zooms by fractions.
    ViewModel down = View(400, 300, 800, 500, 0.5);
    ASSERT_TRUE(down.Wheel(120));
    EXPECT_DOUBLE_EQ(down.Scale(), 0.5);
    ASSERT_TRUE(down.Wheel(-60));
    EXPECT_NEAR(down.Scale(), std::sqrt(0.5), 1e-12);

    // As far as the wheel goes either way, the displayed size stays between
    // one pixel and the bound, and every mapping stays finite.
    for (int notch : {120, -120}) {
        ViewModel far = View(5, 70000, 1, 1);
        for (int i = 0; i < 100000; ++i) far.Wheel(notch);
        EXPECT_FALSE(far.Wheel(notch));
        EXPECT_GE(far.DisplayedHeight(), 1);
        EXPECT_LE(far.DisplayedHeight(), ViewModel::kMaxDisplayedSize);
        EXPECT_LE(far.OriginY(), 0);
        far.WindowToImageX(INT_MIN);
        far.ImageToWindowY(70000);
    }
}

TEST(ViewModel, MapsWithTheRoundingOfTheCutLines) {
    ViewModel v = View(1000, 1000, 300, 300);
    v.SetSteps(std::log(2.7) / std::log(1.1));
    v.BeginDrag(0, 0);
    v.DragTo(-777, -50);
    for (int u : {0, 1, 2, 3, 27, 300, 999}) {
        const int x = v.ImageToWindowX(u);
        EXPECT_EQ(x, v.OriginX() + static_cast<int>(std::ceil(u * v.Scale()))) << u;
        // Enlarged, the first window column of image column u maps back to u.
        EXPECT_EQ(v.WindowToImageX(x), u) << u;
        if (u > 0) {
            EXPECT_EQ(v.WindowToImageX(x - 1), u - 1) << u;
        }
    }
    v.SetSteps(std::log(0.37) / std::log(1.1));
    EXPECT_EQ(v.WindowToImageX(v.OriginX() + 10), 27);  // truncated toward zero
    EXPECT_EQ(v.WindowToImageX(v.OriginX() - 10), -27);
}

TEST(ViewModel, DragScrollFollowsThePointerUpToTheEdges) {
    ViewModel v = View(1000, 100, 400, 300);  // 1:1: wider than the window, not taller
    const int x0 = v.OriginX();
    EXPECT_EQ(x0, -300);
    v.BeginDrag(200, 150);
    EXPECT_TRUE(v.DragTo(150, 100));
    EXPECT_EQ(v.OriginX(), x0 - 50);
    EXPECT_EQ(v.OriginY(), 100);  // a short image stays centred
    v.DragTo(-5000, 150);
    EXPECT_EQ(v.OriginX(), 400 - 1000);
    v.DragTo(5000, 150);
    EXPECT_EQ(v.OriginX(), 0);

    RepaintThrottle throttle;
    EXPECT_TRUE(throttle.Due(1000));
    EXPECT_FALSE(throttle.Due(1033));
    EXPECT_EQ(throttle.Remaining(1020), 14u);
    EXPECT_TRUE(throttle.Due(1034));
}

SplitSettings Pixels(int width, int height, int offsetX = 0, int offsetY = 0) {
    SplitSettings s;
    s.widthValue[0] = width;
    s.heightValue[0] = height;
    s.offsetXValue[0] = offsetX;
    s.offsetYValue[0] = offsetY;
    return s;
}

struct HitCase {
    const char* what;
    int x, y;
    int kind;
};

TEST(CutLines, HitTestOrderToleranceAndBorderBands) {
    // 1000 x 800 image at 1:1 in a 600 x 400 window, scrolled to its middle:
    // origin (-200, -200); x offset 20, tiles 100 x 100, no y offset.
    ViewModel v = View(1000, 800, 600, 400);
    ASSERT_EQ(v.OriginX(), -200);
    const TileGrid grid = ComputeGridCounts(1000, 800, Pixels(100, 100, 20));
    const LineHitGate open{false, true, false, true};
    const HitCase cases[] = {
        {"x offset line at -180 is outside; y edge band", 300, 5, -1},
        {"column boundary 3 at -200 + 320", 123, 250, 4},
        {"3 pixels off still hits", 117, 250, 4},
        {"4 pixels off misses", 116, 250, 0},
        {"row boundary 5 at -200 + 500", 250, 302, -6},
        {"column before row", 220, 300, 5},
        {"y offset 0 with the top edge above the window: band", 50, 9, -1},
        {"just below the band", 50, 10, 0},
    };
    for (const HitCase& c : cases)
        EXPECT_EQ(HitTestCutLines(v, grid, open, c.x, c.y), c.kind) << c.what;
    for (LineHitGate shut :
         {LineHitGate{true, true, false, true}, LineHitGate{false, false, false, true},
          LineHitGate{false, true, true, true}, LineHitGate{false, true, false, false}})
        EXPECT_EQ(HitTestCutLines(v, grid, shut, 123, 250), 0);

    // One column after the offset: its boundary is the image's right edge,
    // grabbed from the window's border band when the edge lies beyond it.
    const TileGrid wide = ComputeGridCounts(1000, 800, Pixels(2000, 100, 20));
    EXPECT_EQ(HitTestCutLines(v, wide, open, 592, 250), 2);
    EXPECT_EQ(HitTestCutLines(v, wide, open, 590, 250), 0);
}

TEST(CutLines, BoundaryPositionsMatchTheLoopAndSurviveExtremes) {
    for (double scale : {0.37, 1.0, 2.5}) {
        std::vector<int> loop;
        for (int n = 1;; ++n) {
            const int x = -40 + static_cast<int>(std::ceil((7 + n * 13) * scale));
            if (x >= 300) break;
            if (x >= -1 && (loop.empty() || loop.back() != x)) loop.push_back(x);
        }
        EXPECT_EQ(BoundaryPositions(-40, scale, 7, 13, 300), loop) << scale;
    }
    // A billion boundaries of one pixel in a 1000-pixel window: each window
    // column at most once, found without walking them all.
    const std::vector<int> dense = BoundaryPositions(0, 1e-6, 0, 1, 1000);
    EXPECT_EQ(dense.size(), 999u);  // 1 to 999
    EXPECT_TRUE(BoundaryPositions(-(1 << 30), 1, 0, 1, 1).size() == 2u);
    EXPECT_TRUE(BoundaryPositions(0, 1, 500, 0, 300).empty());
}

struct DragCase {
    const char* what;
    SizeUnit unit;
    int kind;
    int x;  // window x = image x at 1:1
    bool aspect;
    double width;   // expected value of the dragged unit
    double height;  // expected value of the height's same unit slot
};

TEST(CutLines, DraggingRewritesTheSizeInItsUnit) {
    const DragCase cases[] = {
        {"boundary 3 to 300 with a 20-pixel offset", SizeUnit::Pixel, 4, 300, false, 93, 60},
        {"pixels, aspect: 400 x 300 rounds up", SizeUnit::Pixel, 2, 121, true, 101, 76},
        {"before the offset line: 0 takes the whole width", SizeUnit::Pixel, 2, 10, false, 0, 60},
        {"percent of the width per tile", SizeUnit::Percent, 3, 220, true, 25, 25},
        {"percent capped", SizeUnit::Percent, 2, 1000000, false, 100, 0},
        {"count of tiles that fit", SizeUnit::Count, 2, 120, true, 3, 3},
        {"count on the offset line stays", SizeUnit::Count, 2, 20, false, 7, 1},
        {"count far outside is at least 1", SizeUnit::Count, 2, INT_MAX, false, 1, 1},
    };
    for (const DragCase& c : cases) {
        ViewModel v = View(400, 300, 400, 300);
        SplitSettings s = Pixels(50, 60, 20);
        s.widthUnit = c.unit;
        s.widthValue[UnitIndex(SizeUnit::Count)] = 7;
        s.adjustAspect = c.aspect ? 1 : 0;
        DragCutLine(c.kind, v, c.x, 0, s);
        EXPECT_DOUBLE_EQ(s.widthValue[UnitIndex(c.unit)], c.width) << c.what;
        EXPECT_DOUBLE_EQ(s.heightValue[UnitIndex(c.unit)], c.height) << c.what;
        EXPECT_EQ(s.heightUnit, SizeUnit::Pixel) << c.what;  // never consulted nor changed
    }
    // Rows with aspect matching on a tall image truncate the width; offsets
    // in percent are capped, offsets in pixels are not negative.
    ViewModel tall = View(300, 400, 300, 400);
    SplitSettings s = Pixels(50, 60);
    s.adjustAspect = 1;
    EXPECT_TRUE(DragCutLine(-2, tall, 0, 133, s));
    EXPECT_EQ(s.heightValue[0], 133);
    EXPECT_EQ(s.widthValue[0], 100);
    s.offsetYUnit = SizeUnit::Percent;
    DragCutLine(-1, tall, 0, 1 << 30, s);
    EXPECT_EQ(s.offsetYValue[1], 100);
    DragCutLine(1, tall, -500, 0, s);
    EXPECT_EQ(s.offsetXValue[0], 0);
    EXPECT_FALSE(DragCutLine(1, tall, -600, 0, s));
}

TEST(OverlayLayout, HeaderWidthCellsAndHitTest) {
    EXPECT_EQ(OverlayLayout::HeaderWidth(0, 9), 21);
    EXPECT_EQ(OverlayLayout::HeaderWidth(0, 12), 26);
    EXPECT_EQ(OverlayLayout::HeaderWidth(5, 13), 26);  // "OF" and 1 to 12
    EXPECT_EQ(OverlayLayout::HeaderWidth(0, 100), 31);

    // 250 x 200 image at scale 2 from (40, 30): x offset 30, tiles 100 x 100.
    const TileGrid grid = ComputeGridCounts(250, 200, Pixels(100, 100, 30));
    ASSERT_EQ(grid.columns, 4);
    OverlayLayout layout;
    layout.Lay(grid, grid.columns, grid.rows, 40, 30, 500, 400, 2.0);
    const int lefts[] = {40, 100, 300, 500}, rights[] = {99, 299, 499, 539};
    for (int k = 1; k <= 4; ++k) {
        const CellRect c = layout.Cell(0, k);
        EXPECT_EQ(c.left, lefts[k - 1]) << k;
        EXPECT_EQ(c.right, rights[k - 1]) << k;
        EXPECT_EQ(c.bottom, 16);
    }
    const CellRect tile = layout.Cell(2, 3);
    EXPECT_EQ(tile.left, 300);
    EXPECT_EQ(tile.top, 230);
    EXPECT_EQ(tile.bottom, 429);

    using Cell = std::optional<std::pair<int, int>>;
    EXPECT_EQ(layout.HitTest(5, 5), Cell({0, 0}));
    EXPECT_EQ(layout.HitTest(21, 100), Cell({1, 0}));  // the header column wins
    EXPECT_EQ(layout.HitTest(300, 10), Cell({0, 3}));
    EXPECT_EQ(layout.HitTest(299, 230), Cell({2, 2}));
    EXPECT_EQ(layout.HitTest(540, 100), std::nullopt);
    EXPECT_EQ(layout.HitTest(100, 430), std::nullopt);
    EXPECT_EQ(layout.HitTest(-1, 5), std::nullopt);
}

TEST(PanelText, LinesTextsAndColours) {
    SplitSettings s = Pixels(100, 100);
    s.nameFormat = NameFormat::DownCount;
    s.reverse = 1;
    s.firstNumber = 0;
    s.digits = 3;
    PanelChoices all;
    for (bool* b : {&all.imageInfo, &all.settingsFile, &all.saveFolder, &all.aspect, &all.cutSize,
                    &all.offset, &all.nameRule, &all.scale, &all.jpegQuality, &all.threads,
                    &all.cutCount, &all.selectedCount, &all.breakdown})
        *b = true;
    PanelFacts f;
    f.imageLoaded = true;
    f.imageInfoLine = "【 画 像 情 報 】250x230(8bpp)";
    f.colorKind = ColorKind::Grey;
    f.interlaced = true;
    f.scale = 1.5;
    f.selectionMode = true;
    f.selectedTiles = 4;
    f.slotName = "設定３";
    f.outputFolder = "/home/a/tiles";
    f.grid = ComputeGridCounts(250, 230, s);
    const std::string pad = "　　　　　　　　";
    using L = PanelLine;
    const auto red = PanelColor::Red;
    const std::vector<PanelLine> expected = {
        L{"【 画 像 情 報 】250x230(8bpp)"},
        L{pad + " グレースケール"},
        L{pad + " インターレース"},
        L{"【設定ファイル】設定３"},
        L{"【保存フォルダ】/home/a/tiles"},
        L{"【 縦横比合致 】無し"},
        L{"【 分割サイズ 】 幅 ：100 pixel"},
        L{pad + "高さ：100 pixel"},
        L{"【 オフセット 】 横 ：  0 pixel", red},
        L{pad + " 縦 ：  0 pixel", red},
        L{"【　分 割 数　】3(横)x3(縦)=9(総数)"},
        L{"【　選 択 数　】4"},
        L{"【 分 割 内 訳 】 横：100x2, 50(余)"},
        L{"　　　　　　　　　縦：100x2, 30(余)"},
        L{"【 命 名 規 則 】 _右上から縦に数えた番号"},
        L{pad + " 振始番号：0"},
        L{pad + "　 最小桁：3"},
        L{"【 JPEG 品 質 】75"},
        L{"【 同時処理数 】1"},
        L{"【 表 示 倍 率 】150.00 ％"},
    };
    EXPECT_EQ(BuildPanelLines(s, all, f), expected);

    // Percent and count units, a write-protected slot, an offset strip, an
    // unknown naming rule's empty place, no JPEG line for BMP output.
    s.widthUnit = SizeUnit::Percent;
    s.widthValue[1] = 12.5;
    s.heightUnit = SizeUnit::Count;
    s.heightValue[2] = 4.9;
    s.offsetXValue[0] = 30;
    s.nameFormat = static_cast<NameFormat>(7);
    s.allBmp = 1;
    all.notOverwrite = true;
    f.grid = ComputeGridCounts(230, 230, Pixels(100, 100, 30));
    const std::vector<PanelLine> lines = BuildPanelLines(s, all, f);
    auto has = [&](const PanelLine& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has({"【設定ファイル】設定３（上書き禁止）", PanelColor::Green}));
    EXPECT_TRUE(has({"【 分割サイズ 】 幅 ： 12.50 ％"}));
    EXPECT_TRUE(has({pad + "高さ： 4 個"}));
    EXPECT_TRUE(has({"【 オフセット 】 横 ： 30 pixel", red}));
    EXPECT_TRUE(has({"【 分 割 内 訳 】 横：30(オ), 100x2"}));
    EXPECT_TRUE(has({""}));
    EXPECT_FALSE(has({"【 JPEG 品 質 】75"}));
    // An image shown reduced says so after its image lines, whatever is chosen.
    f.viewReduction = 8;
    const std::vector<PanelLine> reduced = BuildPanelLines(s, PanelChoices{}, f);
    EXPECT_EQ(reduced, std::vector<PanelLine>{L{"【 縮 小 表 示 】1/8"}});
    f.viewReduction = 0;

    // Viewer mode: the image lines and the scale only; nothing needs an image
    // to be loaded but the image lines, the counts and the scale.
    all.viewerMode = true;
    EXPECT_EQ(BuildPanelLines(s, all, f).size(), 4u);
    all.viewerMode = false;
    PanelFacts none;
    EXPECT_EQ(BuildPanelLines(s, all, none).size(), 11u);
}

// A 24-bit raster whose pixel (x, y) is (x * 7 + y, x + y * 3, x ^ y) mod 256.
std::shared_ptr<const DibImage> Pattern(int width, int height) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    std::shared_ptr<DibImage> r = DibImage::Create(h);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = r->Row(y) + 3 * x;
            p[2] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>(x + y * 3);
            p[0] = static_cast<uint8_t>(x ^ y);
        }
    return r;
}

TEST(Resample, PiecesFitTogetherAndKnownScalesAreExact) {
    const auto raster = Pattern(203, 151);
    const auto pyramid = ImagePyramid::Build(raster);
    ASSERT_TRUE(pyramid);
    // Pixel (x, y) of a picture `width` pixels wide.
    auto at = [](int x, int y, int width) {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    };
    auto render = [&](double s, ScaleFilter f, int x, int y, int w, int h) {
        std::vector<uint32_t> out(at(0, h, w));
        RenderScaled(*pyramid, s, f, x, y, w, h, out.data(), static_cast<size_t>(w));
        return out;
    };
    // Any rectangle rendered alone equals the same part of the whole.
    for (double s : {0.013, 0.31, 0.5, 0.77, 1.0, 1.9, 3.0})
        for (ScaleFilter f : {ChooseScaleFilter(s, false), ChooseScaleFilter(s, true)}) {
            const int dw = static_cast<int>(203 * s), dh = static_cast<int>(151 * s);
            const std::vector<uint32_t> whole = render(s, f, 0, 0, dw, dh);
            const int x = dw / 3, y = dh / 2, w = dw - x, h = dh - y;
            const std::vector<uint32_t> part = render(s, f, x, y, w, h);
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    ASSERT_EQ(part[at(i, j, w)], whole[at(i + x, j + y, dw)])
                        << "scale " << s << " at " << i + x << "," << j + y;
        }
    auto rgb = [&](int x, int y) {
        const uint8_t* p = raster->Row(y) + 3 * x;
        return 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    };
    const std::vector<uint32_t> same = render(1, ScaleFilter::Area, 0, 0, 203, 151);
    const std::vector<uint32_t> twice = render(2, ScaleFilter::Nearest, 0, 0, 406, 302);
    const std::vector<uint32_t> half = render(0.5, ScaleFilter::Area, 0, 0, 101, 75);
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 101; ++x) {
            ASSERT_EQ(same[at(x, y, 203)], rgb(x, y));
            ASSERT_EQ(twice[at(2 * x + 1, 2 * y + 1, 406)], rgb(x, y));
            uint32_t expect = 0xFF000000u;
            for (int c = 0; c < 24; c += 8) {
                unsigned sum = 0;
                for (int k = 0; k < 4; ++k) sum += (rgb(2 * x + k % 2, 2 * y + k / 2) >> c) & 0xFF;
                expect |= ((sum + 2) / 4) << c;
            }
            ASSERT_EQ(half[at(x, y, 101)], expect) << x << "," << y;
        }
}

}  // namespace
}  // namespace tessarin
