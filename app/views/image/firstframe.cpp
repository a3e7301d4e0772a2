#include "app/views/image/firstframe.h"

#include "app/views/fototransform.h"
#include "app/views/image/viewoverlays.h"

#include "oxengine/image/image.h"

#include <cmath>

namespace {

// Larger pictures may be reduced to the texture limit, which only the GL
// driver knows, and then the view notes it: 5 x 1024 - 4, the limit of the
// smallest texture size a GL driver may have.
constexpr int kSurelyWhole = 5116;

// Where the view puts a fitted picture's first texel centre on one axis:
// centred, on a pixel centre (the view's offset is half the spare room).
double fittedOrigin(double window, int shown, double zoom)
{
    const double spare = (shown - 1) * zoom - window;
    const double offset = spare < 0 ? spare * 0.5 : 0.0;
    return std::floor(-offset) + 0.5;
}

} // namespace

bool drawFirstFrame(oxSoftFrame& frame, const oxImage& picture, const std::string& fileName, int infoLevel,
                    const oxGuiStyle& style)
{
    const oxSize shown = picture.sourceSize();
    const oxGuiSize window{frame.width(), frame.height()};
    if (window.width <= 0 || window.height <= 0 || infoLevel < 0 || infoLevel > 1 || !picture.comment().empty() ||
        !picture.damage().empty() || picture.animation() || shown.width < 1 || shown.height < 1 ||
        shown.width > kSurelyWhole || shown.height > kSurelyWhole)
        return false;
    const double zoom = fitZoomFor(window.width, window.height, {shown.width - 1, shown.height - 1}, false);
    const double x = fittedOrigin(window.width, shown.width, zoom), y = fittedOrigin(window.height, shown.height, zoom);
    // The outer texel edges lie half a texel beyond the outer centres.
    if (!frame.drawPicture(picture, x - 0.5 * zoom, y - 0.5 * zoom, x + (shown.width - 0.5) * zoom,
                           y + (shown.height - 0.5) * zoom))
        return false;
    if (infoLevel == 0)
        return true;
    ViewOverlays overlays;
    overlays.applyStyle(style);
    overlays.setFileName(fileName);
    overlays.setZoom(zoom);
    for (const oxGLUTOverlay* line : overlays.place(window, false))
        if (!frame.drawText(*line))
            return false;
    return true;
}
