// The subtle checkerboard transparent pictures are shown over, as viewers
// commonly do, so that dark content on a transparent background stays
// visible. Its squares are fixed to the window (8 pixels), whatever the zoom.
#pragma once

// Fills the rectangle (current model-view coordinates) with the
// checkerboard at depth z and opacity alpha; writes no depth, so the
// picture drawn over it at the same depth still shows.
void drawCheckerboard(double x0, double y0, double x1, double y1, double alpha, double depth);
