// The document without a window: selection mode needs an image, the
// selection follows the grid of new settings, and a split's copy of the
// selection keeps the flags as they were when it was taken.

#include "ui/document/image_document.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "imaging/dib_image.h"

namespace tessarin {
namespace {

CurrentImage GreyImage(int width, int height) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    CurrentImage image;
    image.raster = DibImage::Create(h);
    image.width = width;
    image.height = height;
    return image;
}

TEST(ImageDocument, SelectionFollowsTheImageAndTheGridAndIsCopiedForASplit) {
    SplitSettings settings;
    settings.widthValue[0] = 10;
    settings.heightValue[0] = 10;
    settings.adjustAspect = 0;
    SettingsPaths paths;
    ImageDocument document(settings, paths, nullptr);
    QSignalSpy selectionChanged(&document, &ImageDocument::selectionChanged);
    QSignalSpy imageChanged(&document, &ImageDocument::imageChanged);

    document.SetSelectionMode(true);  // nothing to select yet
    EXPECT_FALSE(document.InSelectionMode());
    EXPECT_EQ(document.SelectionSnapshot(), nullptr);

    document.Commit(GreyImage(30, 20));
    EXPECT_EQ(imageChanged.count(), 1);
    document.SetSelectionMode(true);
    ASSERT_TRUE(document.InSelectionMode());
    EXPECT_EQ(document.Selection().Columns(), 3);
    EXPECT_EQ(document.Selection().Rows(), 2);

    document.Selection().ToggleSelectionCell(1, 1);
    const std::shared_ptr<const SelectionMap> copy = document.SelectionSnapshot();
    document.Selection().ToggleSelectionCell(2, 3);
    settings.widthValue[0] = 5;
    document.FollowGrid();
    EXPECT_EQ(document.Selection().Columns(), 6);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Columns(), 3);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(copy->IsTileSelected(column, row), row == 0 && column == 0)
                << column << "," << row;

    document.SetSelectionMode(false);
    EXPECT_FALSE(document.InSelectionMode());
    EXPECT_GE(selectionChanged.count(), 5);
}

}  // namespace
}  // namespace tessarin
