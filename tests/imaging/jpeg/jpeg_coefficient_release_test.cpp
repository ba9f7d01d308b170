// Files of several scans give back their coefficient rows as the rows come out,
// and the rows stay the library's own. (Banded splits, which read the same
// decoders, are checked against the whole raster in band_cut_test.cpp and
// jpeg_bands_test.cpp.)

#include "imaging/jpeg/jpeg_library_check.h"
#include "jpeg_test_util.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

// Progressive files (on two threads where they can be, on one otherwise), a
// baseline file of one scan per component, and a progressive file cut short,
// whose rows the library smooths from the rows around them.
TEST(JpegCoefficientRelease, PassedRowsGoBackAndEveryRowIsTheLibrarys) {
    std::vector<SourceKind> kinds = {
        {.name = "progressive 4:2:2", .factors = {{2, 1}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "progressive grey", .components = 1, .progressive = true},
        {.name = "baseline scans", .scanPerComponent = true},
        {.name = "progressive cut short", .progressive = true, .keep = 0.6},
    };
    TempDir dir;
    for (SourceKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        kind.width = 1200;  // block rows of several pages
        kind.height = 400;
        const std::string path = dir / "p.jpg";
        WriteSource(path, kind);
        const Samples library = DecodeLibraryJpeg(path);
        ASSERT_GT(library.components, 0);
        const uint64_t coefficients =
            jpeg::CoefficientBytes(ReadHeader(*SourceFile::Open(path))->codec);
        const uint64_t before = jpeg::ReleasedCoefficientBytes();
        LoadedImage loaded;
        ASSERT_TRUE(LoadJpeg(path, loaded)) << loaded.error;
        EXPECT_EQ(RasterSamples(*loaded.raster).data, library.data);
        // All but the last few iMCU rows (three when smoothed) and part pages.
        if (jpeg::PrivateLayoutVerified()) {
            EXPECT_GE(jpeg::ReleasedCoefficientBytes() - before, coefficients * 4 / 5);
        }
    }
}

}  // namespace
}  // namespace tessarin
