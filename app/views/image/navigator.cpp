#include "app/views/image/navigator.h"

#include "oxengine/gui/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

NavigatorLayout navigatorLayout(oxGuiSize window, int imageWidth, int imageHeight, double displayScale, double zoom,
                                double offsetX, double offsetY, int navigatorSize)
{
    NavigatorLayout n;
    const double w = imageWidth * displayScale, h = imageHeight * displayScale;
    if (!(w > 0) || !(h > 0) || !(zoom > 0) || window.width <= 0 || window.height <= 0)
        return n;
    const double f = std::min(window.height / h, window.width / w);
    if (!(f < 0.99))
        return n;
    n.shown = true;
    n.alpha = int(std::clamp(std::trunc((1.0 - f) * 500.0), 0.0, 255.0));
    n.side = navigatorSize;
    n.square = {double(window.width - navigatorSize), double(window.height - navigatorSize)};
    n.fit = fitThumbnail(imageWidth, imageHeight, navigatorSize, 1.0);
    // The window's part of the picture in texels, kept on the picture.
    const double x0 = std::clamp(offsetX / zoom, 0.0, double(imageWidth));
    const double y0 = std::clamp(offsetY / zoom, 0.0, double(imageHeight));
    const double x1 = std::clamp((offsetX + window.width) / zoom, 0.0, double(imageWidth));
    const double y1 = std::clamp((offsetY + window.height) / zoom, 0.0, double(imageHeight));
    n.markPosition = {n.square.x + n.fit.marginX + x0 * n.fit.scale, n.square.y + n.fit.marginY + y0 * n.fit.scale};
    n.markSize = {(x1 - x0) * n.fit.scale, (y1 - y0) * n.fit.scale};
    return n;
}

void drawNavigator(LoadedPicture& picture, const NavigatorLayout& n, oxColour background, ExposureShader* shader)
{
    if (!n.shown)
        return;
    glPushMatrix();
    glLoadIdentity();
    background.a = uint8_t(n.alpha);
    drawThumbnail(&picture, n.square, n.side, 1.0, background, false, shader);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    setColour(oxColour(255, 0, 0, uint8_t(n.alpha / 2)));
    fillRect(n.markPosition, n.markSize);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glPopMatrix();
}
