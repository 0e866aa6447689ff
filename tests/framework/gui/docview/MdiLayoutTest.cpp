#include "framework/gui/docview/MdiLayout.h"

#include <gtest/gtest.h>

namespace {

// The tiles cover the area exactly: each lies inside it, none overlaps another, and their areas add up.
void ExpectTilesCoverTheArea(const std::vector<QRect>& tiles, const QSize& area) {
    long covered = 0;
    for (size_t i = 0; i < tiles.size(); ++i) {
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(tiles[i])) << "tile " << i;
        covered += static_cast<long>(tiles[i].width()) * tiles[i].height();
        for (size_t j = i + 1; j < tiles.size(); ++j)
            EXPECT_FALSE(tiles[i].intersects(tiles[j])) << "tiles " << i << " and " << j;
    }
    EXPECT_EQ(covered, static_cast<long>(area.width()) * area.height());
}

} // namespace

TEST(MdiLayout, CascadeStepsDownAndRightAtThreeQuartersOfTheArea) {
    const QSize area(800, 600);
    const QSize minimum(300, 100);
    EXPECT_EQ(CascadeGeometry(area, 0, 24, minimum), QRect(0, 0, 600, 450));
    EXPECT_EQ(CascadeGeometry(area, 1, 24, minimum), QRect(24, 24, 600, 450));
    EXPECT_EQ(CascadeGeometry(area, 6, 24, minimum), QRect(144, 144, 600, 450));
    // The eighth step would leave the area at the bottom (150 / 24 + 1 positions fit): the cascade begins
    // again at the top left.
    EXPECT_EQ(CascadeGeometry(area, 7, 24, minimum), QRect(0, 0, 600, 450));
}

TEST(MdiLayout, CascadeNeverGoesBelowTheMinimumEvenInATinyArea) {
    const QSize minimum(340, 120);
    EXPECT_EQ(CascadeGeometry(QSize(200, 100), 0, 24, minimum), QRect(0, 0, 340, 120));
    EXPECT_EQ(CascadeGeometry(QSize(200, 100), 3, 24, minimum), QRect(0, 0, 340, 120));
    EXPECT_EQ(CascadeGeometry(QSize(0, 0), 0, 0, minimum).size(), minimum);
    // Larger in one direction only: the other still takes three quarters.
    EXPECT_EQ(CascadeGeometry(QSize(1000, 100), 0, 24, minimum), QRect(0, 0, 750, 120));
}

TEST(MdiLayout, TwoAndThreeWindowsTileInOneRowOrOneColumn) {
    const QSize area(900, 601);
    EXPECT_EQ(TileGeometries(area, 2, MdiTiling::SideBySide),
              (std::vector<QRect>{QRect(0, 0, 450, 601), QRect(450, 0, 450, 601)}));
    EXPECT_EQ(TileGeometries(area, 2, MdiTiling::Stacked),
              (std::vector<QRect>{QRect(0, 0, 900, 300), QRect(0, 300, 900, 301)}));
    EXPECT_EQ(TileGeometries(area, 3, MdiTiling::SideBySide),
              (std::vector<QRect>{QRect(0, 0, 300, 601), QRect(300, 0, 300, 601), QRect(600, 0, 300, 601)}));
    EXPECT_EQ(TileGeometries(area, 1, MdiTiling::Stacked), (std::vector<QRect>{QRect(0, 0, 900, 601)}));
    EXPECT_TRUE(TileGeometries(area, 0, MdiTiling::Stacked).empty());
}

TEST(MdiLayout, ManyWindowsTileInAGridWhoseLastLineTakesTheRest) {
    const QSize area(1000, 700);
    const std::vector<QRect> four = TileGeometries(area, 4, MdiTiling::SideBySide);
    EXPECT_EQ(four, (std::vector<QRect>{QRect(0, 0, 500, 350), QRect(0, 350, 500, 350),
                                        QRect(500, 0, 500, 350), QRect(500, 350, 500, 350)}));
    // Five stacked: two rows, the second with three windows.
    const std::vector<QRect> five = TileGeometries(area, 5, MdiTiling::Stacked);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five[0], QRect(0, 0, 500, 350));
    EXPECT_EQ(five[2], QRect(0, 350, 333, 350));
    EXPECT_EQ(five[4], QRect(666, 350, 334, 350));
    for (int count : {2, 3, 5, 7, 10, 17}) {
        for (MdiTiling tiling : {MdiTiling::SideBySide, MdiTiling::Stacked}) {
            const std::vector<QRect> tiles = TileGeometries(area, count, tiling);
            ASSERT_EQ(tiles.size(), static_cast<size_t>(count));
            ExpectTilesCoverTheArea(tiles, area);
        }
    }
}
