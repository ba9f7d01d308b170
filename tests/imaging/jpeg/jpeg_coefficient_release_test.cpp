// Files of several scans give back their coefficient rows as the rows come out,
// and the rows stay the library's own, whole and by bands.

#include <algorithm>

#include "imaging/bmp/bmp_format.h"
#include "imaging/jpeg/jpeg_library_check.h"
#include "jpeg_test_util.h"
#include "split/image_loader.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

// The rows of a banded split of `path` in bands of `bandRows`, read back from
// a BMP tile of each whole band; no samples when anything fails.
Samples BandRows(const std::string& path, const std::string& folder, int bandRows) {
    SplitSettings settings;
    settings.correctCut = true;
    settings.allBmp = true;
    settings.savePath = folder;
    fs::create_directories(folder);
    CurrentImage image;
    std::string error;
    std::vector<std::string> notices;
    if (!LoadImageForTiles(path, settings, image, error, notices) || !image.bands) return {};
    std::unique_ptr<RowBand> band = image.bands->NewBand(bandRows);
    Samples all{image.width, 0, 0, {}};
    for (int top = 0; top < image.height; top += bandRows) {
        const int rows = std::min(bandRows, image.height - top);
        const std::string bmp = folder + "/band.bmp";
        TileContext context;
        LoadedImage loaded;
        if (image.bands->ReadRows(*band, rows) ||
            testing::WriteTileAt(band->Tiles(), {0, 0, 0, 0, image.width, rows}, bmp, context) ||
            !LoadBmpFile(bmp, loaded))
            return {};
        const Samples part = RasterSamples(*loaded.raster);
        all.height += part.height;
        all.components = part.components;
        all.data.insert(all.data.end(), part.data.begin(), part.data.end());
    }
    return all;
}

// Progressive files (on two threads where they can be, on one otherwise),
// a baseline file of one scan per component, and a progressive file cut
// short, whose rows the library smooths from the rows around them.
TEST(JpegCoefficientRelease, PassedRowsGoBackAndEveryRowIsTheLibrarys) {
    const std::vector<SourceKind> kinds = {
        {.name = "progressive 4:2:2",
         .width = 1200,
         .height = 400,
         .factors = {{2, 1}, {1, 1}, {1, 1}},
         .progressive = true},
        {.name = "progressive grey",
         .width = 1200,
         .height = 400,
         .components = 1,
         .progressive = true},
        {.name = "baseline scans", .width = 1200, .height = 400, .scanPerComponent = true},
        {.name = "progressive cut short",
         .width = 1200,
         .height = 400,
         .progressive = true,
         .keep = 0.6},
    };
    TempDir dir;
    for (const SourceKind& kind : kinds) {
        const std::string path = dir / "p.jpg";
        WriteSource(path, kind);
        const Samples library = DecodeLibraryJpeg(path);
        ASSERT_GT(library.components, 0) << kind.name;
        const SourceFilePtr file = SourceFile::Open(path);
        const uint64_t coefficients = jpeg::CoefficientBytes(ReadHeader(*file)->codec);
        for (const int bandRows : {0, 37}) {  // 0: the whole file into a raster
            SCOPED_TRACE(std::string(kind.name) + ", bands of " + std::to_string(bandRows));
            const uint64_t before = jpeg::ReleasedCoefficientBytes();
            LoadedImage whole;
            if (bandRows == 0) {
                ASSERT_TRUE(LoadJpegFile(path, whole)) << whole.error;
            }
            const Samples rows = bandRows == 0 ? RasterSamples(*whole.raster)
                                               : BandRows(path, dir / "bands", bandRows);
            EXPECT_EQ(rows.data, library.data);
            // All but the last few iMCU rows (three when smoothed) and the part
            // pages at the ends.
            if (jpeg::PrivateLayoutVerified()) {
                EXPECT_GE(jpeg::ReleasedCoefficientBytes() - before, coefficients * 4 / 5);
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
