// The navigator: a small overview of a picture larger than the window in
// the bottom-right corner, with the part the window shows tinted red. It
// fades in the more the picture exceeds the window.
#pragma once

#include "app/views/picturedraw.h"

struct NavigatorLayout {
    bool shown = false;
    int alpha = 0;          // of the square's background; the mark has half
    oxGuiPointD square;     // top-left corner, window pixels
    double side = 0;
    ThumbnailFit fit;       // the picture inside the square
    oxGuiPointD markPosition; // the visible part, window pixels
    oxGuiSizeD markSize;
};

// Shown when the picture at the display scale exceeds the window (its fit
// factor below 0.99). offset and zoom are the viewing transform's.
NavigatorLayout navigatorLayout(oxGuiSize window, int imageWidth, int imageHeight, double displayScale, double zoom,
                                double offsetX, double offsetY, int navigatorSize);

// Draws it in window pixels (the model-view matrix is reset for it);
// background is the square's colour, its alpha replaced by the layout's.
void drawNavigator(LoadedPicture& picture, const NavigatorLayout& layout, oxColour background,
                   ExposureShader* shader);
