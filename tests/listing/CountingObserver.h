// A Grid table observer that counts what it is told.
#pragma once

#include "listing/GridTable.h"

// Counts what a view would be told, so tests can see a table redraw once.
struct CountingObserver : IGridObserver
{
    int resets = 0, cells = 0;
    void GridReset() override { ++resets; }
    void CellChanged(int, int) override { ++cells; }
    void SelectionMoved(int) override { }
    void DisplayChanged() override { }
};
