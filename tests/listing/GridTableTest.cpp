#include "CountingObserver.h"
#include "listing/GridColumns.h"
#include "listing/GridTable.h"

#include <gtest/gtest.h>

namespace {

struct GridTableTest : ::testing::Test
{
    TGridTable grid{FilesColumns()};
    int events = 0;
    void SetUp() override
    {
        grid.OnSelChanged = [this] {
            ++events;
        };
    }
    void Fill(int rows)
    {
        grid.SetRowCount(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < grid.ColumnCount(); ++c)
                grid.SetCells(c, r, QStringLiteral("r%1c%2").arg(r).arg(c));
    }
};

TEST_F(GridTableTest, NewTableHasNoRowsAndSelectsRowZero)
{
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.Selected(), 0);
    EXPECT_EQ(grid.Cells(0, grid.Selected()), QString());
}

TEST_F(GridTableTest, CellsOutsideTheTableReadEmptyAndIgnoreWrites)
{
    Fill(2);
    grid.SetCells(-1, 0, QStringLiteral("x"));
    grid.SetCells(6, 0, QStringLiteral("x"));
    grid.SetCells(0, 2, QStringLiteral("x"));
    EXPECT_EQ(grid.Cells(6, 0), QString());
    EXPECT_EQ(grid.Cells(0, -1), QString());
    EXPECT_EQ(grid.Cells(0, 2), QString());
    EXPECT_EQ(grid.RowCount(), 2);
}

TEST_F(GridTableTest, RowCountKeepsDiscardsAndAddsRows)
{
    Fill(3);
    grid.SetRowCount(2);
    grid.SetRowCount(4);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("r1c1"));
    EXPECT_EQ(grid.Cells(1, 2), QString());
    EXPECT_EQ(grid.Cells(1, 3), QString());
}

TEST_F(GridTableTest, ClearGridOnFilledRowsMovesSelectionOnce)
{
    Fill(10);
    grid.RequestSelected(7);
    events = 0;
    ClearGrid(grid);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Selected(), 0);
    EXPECT_EQ(events, 1);
    for (int c = 0; c < grid.ColumnCount(); ++c)
        EXPECT_EQ(grid.Cells(c, 0), QString());
    grid.SetRowCount(4);
    EXPECT_EQ(grid.Cells(3, 3), QString());
}

TEST_F(GridTableTest, ClearGridOnEmptyTableRaisesNothing)
{
    ClearGrid(grid);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(events, 0);
}

TEST_F(GridTableTest, ZeroRowsKeepSelectionThenAGrowthClampsIt)
{
    Fill(5);
    grid.RequestSelected(3);
    events = 0;
    grid.SetRowCount(0);
    EXPECT_EQ(grid.Selected(), 3);
    EXPECT_EQ(events, 0);
    grid.SetRowCount(2);
    EXPECT_EQ(grid.Selected(), 1);
    EXPECT_EQ(events, 1);
}

TEST_F(GridTableTest, SelectionRuleClampsAndRaisesOnlyOnChange)
{
    grid.RequestSelected(5);
    EXPECT_EQ(grid.Selected(), -1); // no rows
    EXPECT_EQ(events, 1);
    Fill(3);
    events = 0;
    grid.RequestSelected(-4);
    EXPECT_EQ(grid.Selected(), 0);
    grid.RequestSelected(0);
    grid.RequestSelected(9);
    EXPECT_EQ(grid.Selected(), 2);
    EXPECT_EQ(events, 2);
}

TEST_F(GridTableTest, HiddenColumnsKeepTheirCells)
{
    Fill(1);
    grid.SetColumnVisible(fcPathHolder, false);
    EXPECT_EQ(grid.ColumnCount(), 6);
    EXPECT_EQ(grid.Cells(fcPathHolder, 0), QStringLiteral("r0c0"));
    grid.SetCells(fcPathHolder, 0, QStringLiteral("y"));
    EXPECT_EQ(grid.Cells(fcPathHolder, 0), QStringLiteral("y"));
}

TEST_F(GridTableTest, UpdateBracketsNestAndRedrawOnceAtTheOutermostEnd)
{
    CountingObserver observer;
    grid.SetObserver(&observer);
    grid.BeginUpdate();
    grid.BeginUpdate();
    Fill(3);
    grid.EndUpdate();
    EXPECT_EQ(observer.resets, 0);
    grid.EndUpdate();
    EXPECT_EQ(observer.resets, 1);
    EXPECT_EQ(observer.cells, 0);
    grid.SetCells(1, 1, QStringLiteral("z"));
    EXPECT_EQ(observer.cells, 1);
    grid.SetObserver(nullptr);
}

TEST_F(GridTableTest, PermuteRowsMovesWholeRowsAndRefusesANonPermutation)
{
    Fill(6);
    // Two cycles (0 2 4) and (1 5), and row 3 in place.
    grid.PermuteRows({2, 5, 4, 3, 0, 1});
    const int from[] = {2, 5, 4, 3, 0, 1};
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < grid.ColumnCount(); ++c)
            EXPECT_EQ(grid.Cells(c, r), QStringLiteral("r%1c%2").arg(from[r]).arg(c));

    Fill(3);
    for (const std::vector<int> &bad : {std::vector<int>{0, 0, 1}, {0, 1}, {0, 1, 3}, {2, -1, 0}}) {
        grid.PermuteRows(bad);
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(grid.Cells(0, r), QStringLiteral("r%1c0").arg(r));
    }
}

TEST(GridColumns, TheFourInstances)
{
    const auto files = FilesColumns();
    ASSERT_EQ(files.size(), 6u);
    EXPECT_EQ(files[0].Header, QStringLiteral("??"));
    EXPECT_EQ(files[5].Header, QStringLiteral("Last modified"));
    EXPECT_EQ(DirColumns()[6].Header, QStringLiteral("????"));
    EXPECT_EQ(FileListColumns()[0].Name, QStringLiteral("StringColumn10"));
    EXPECT_EQ(ZippedFilesColumns()[2].Header, QStringLiteral("Uncompressed size"));
}

} // namespace
