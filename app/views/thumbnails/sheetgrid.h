// The geometry of the thumbnail sheet, without GL: how many columns and rows
// a list takes, where a cell lies, which cells the window shows, and what a
// window point hits. Content units times the display scale give pixels;
// minus the viewing transform's offset they give window coordinates.
#pragma once

#include "oxengine/gui/geometry.h"

// The sheet's measures in content units.
struct SheetMetrics {
    int listMargin = 400;  // width of the folder panel at the left
    int titleMargin = 50;  // height of the title strip above the sheet
    int itemSize = 256;    // side of one thumbnail square
    int borderWidth = 5;   // gap between squares
    int pitch() const { return itemSize + borderWidth; }
};

// The stored item size as the sheet uses it: the next power of two at or
// above it (one that is a power of two stays).
int roundItemSize(int stored);

struct SheetGrid {
    int columns = 3;
    int rows = 1;
};

// At least 3 columns, as many as half-size items fit beside the list margin
// in the window; as many rows as the count needs, at least 1.
SheetGrid sheetGrid(const SheetMetrics& m, int windowWidth, int count);

// Top-left corner of the cell of index, in content units.
oxGuiPointD cellOrigin(const SheetMetrics& m, const SheetGrid& g, int index);

// The sheet's size in content units, at least one window high when fitted
// to the window width.
oxGuiSize sheetContentSize(const SheetMetrics& m, const SheetGrid& g, oxGuiSize window);

// Where the sheet lies in the window: display scale and the viewing
// transform's offset.
struct SheetView {
    double scale = 1.0;
    double offsetX = 0, offsetY = 0;
};

// The window rectangle of a cell: from its top-left corner to that of the
// next cell down and right.
struct CellRect {
    double x0, y0, x1, y1;
};
CellRect cellWindowRect(const SheetMetrics& m, const SheetGrid& g, const SheetView& v, int index);
// Whether the cell overlaps the window, edges included.
bool cellVisible(const CellRect& r, oxGuiSize window);

// The rows the window can show (first > last when none), so a sheet of
// thousands of entries costs only its visible cells.
struct RowRange {
    int first = 0, last = -1;
};
RowRange visibleRows(const SheetMetrics& m, const SheetGrid& g, const SheetView& v, oxGuiSize window);

// What a window point hits: a picture's index, or -1 (folder panel, title
// strip, border past the last picture, nothing). searchLine: the list is
// empty and the point lies in the first row, where the sheet offers to
// search the sub-folders. Borders belong to the cell left of and above them.
struct SheetHit {
    int index = -1;
    bool searchLine = false;
};
SheetHit sheetHitTest(const SheetMetrics& m, const SheetGrid& g, int count, const SheetView& v, int x, int y);

// The list margin between minMargin and maxMargin with which the folder
// panel, at fit-to-width, is panelWidth pixels wide in the window, or as
// near as whole columns allow (the columns change with the margin).
int listMarginForPanel(const SheetMetrics& m, int windowWidth, int panelWidth, int minMargin, int maxMargin);

// Height of caption lines at the display scale for the GUI text height.
double captionHeight(double scale, int guiTextHeight);
