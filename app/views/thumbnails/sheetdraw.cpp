#include "app/views/thumbnails/sheetdraw.h"

#include "app/views/picturedraw.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"
#include "oxengine/graphics/softframe.h"
#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <functional>

std::vector<std::string> captionLines(const std::string& path, const LoadedPicture* record,
                                      const CaptionSwitches& switches)
{
    const size_t slash = path.find_last_of('/');
    std::string first = slash == std::string::npos ? path : path.substr(slash + 1);
    if (record && switches.comments && record->name == path && !record->text.empty())
        first = record->text;
    std::vector<std::string> lines{first};
    if (!record || isBrokenThumbnail(record))
        return lines;
    if (switches.date)
        lines.push_back(formatDateTime(record->fileDate, true, "%c"));
    if (switches.sizes) {
        if (record->fullWidth > 0) // unknown for some thumbnails of other programs
            lines.push_back(formatString("%d x %d", record->fullWidth, record->fullHeight));
        lines.push_back(formatWithPrefix(double(record->fileSize), -3, "B"));
    }
    return lines;
}

bool isBrokenThumbnail(const LoadedPicture* record)
{
    return record && !record->hasTiles();
}

oxColour SheetColours::cell() const
{
    oxColour c = background.blend(foreground, 0.18f);
    c.a = 255;
    return c;
}

oxColour SheetColours::title() const
{
    return background.blend(foreground, 0.08f);
}

oxColour SheetColours::message() const
{
    return background.blend(foreground, 0.24f);
}

oxColour SheetColours::broken() const
{
    // Red enough to tell it from any picture, soft enough beside them.
    return oxColour(220, 50, 50, 255);
}

bool setUpTextLine(oxTextOutput& out, const std::string& text, double x, double y, double height, oxColour colour,
                   oxColour background, double maxWidth)
{
    out.setTextHeight(height);
    out.setMultiLine(false);
    out.setMinimumSize(0, 0);
    out.setColour(colour);
    out.setBackgroundColour(background);
    out.setPosition(x, y);
    out.setText(maxWidth > 0 ? out.elided(text, maxWidth) : text);
    return !out.text().empty();
}

void drawTextLine(oxTextOutput& out, const std::string& text, double x, double y, double height, oxColour colour,
                  oxColour background, double maxWidth)
{
    if (setUpTextLine(out, text, x, y, height, colour, background, maxWidth))
        out.draw();
}

namespace {

// The caption lines grow upward from the square's lower edge, each cut to
// the square's width; paint draws each line set up in out.
void layOutCaption(const CellDrawing& cell, const std::vector<std::string>& caption, const SheetColours& colours,
                   oxTextOutput& out, const std::function<void(oxTextOutput&)>& paint)
{
    const double side = cell.itemSize * cell.scale, th = cell.captionHeight;
    // The background reaches 0.1 th beyond the text on either side.
    const double width = side - 0.2 * th;
    double y = cell.position.y + side;
    for (const std::string& line : caption) {
        if (y - th < cell.position.y - 0.5)
            break; // no room left in the square
        if (setUpTextLine(out, line, cell.position.x + 0.1 * th, y, th, colours.foreground, colours.background, width))
            paint(out);
        y -= th;
    }
}

} // namespace

void drawCell(const CellDrawing& cell, const LoadedPicture* record, const std::vector<std::string>& caption,
              const SheetColours& colours, oxTextOutput& out, ExposureShader* shader)
{
    const double side = cell.itemSize * cell.scale;
    const bool broken = isBrokenThumbnail(record);
    drawThumbnail(broken ? nullptr : record, cell.position, cell.itemSize, cell.scale, colours.cell(),
                  cell.selected && !broken, shader);
    if (broken) {
        drawBrokenMark(cell.position, side, colours.broken(), colours.cell());
        if (cell.selected)
            drawSelectionVeil(cell.position, side);
    }
    layOutCaption(cell, caption, colours, out, [](oxTextOutput& text) { text.draw(); });
}

bool drawSquareInto(oxSoftFrame& frame, const CellDrawing& cell, const oxImage& thumbnail, int fullExtent,
                    oxColour background)
{
    const double side = cell.itemSize * cell.scale;
    const oxGuiPointD p = cell.position;
    frame.fillRect(p.x, p.y, p.x + side, p.y + side, background);
    // The outer texel edges on the margins, as the tiles are drawn.
    const ThumbnailFit fit =
        fitThumbnail(int(thumbnail.width()), int(thumbnail.height()), cell.itemSize, cell.scale, fullExtent);
    const double x = p.x + fit.marginX, y = p.y + fit.marginY;
    return frame.drawPicture(thumbnail, x, y, x + thumbnail.width() * fit.scale, y + thumbnail.height() * fit.scale);
}

bool drawCaptionInto(oxSoftFrame& frame, const CellDrawing& cell, const std::vector<std::string>& caption,
                     const SheetColours& colours, oxTextOutput& out)
{
    bool drawn = true;
    layOutCaption(cell, caption, colours, out, [&](oxTextOutput& text) { drawn = frame.drawText(text) && drawn; });
    return drawn;
}

void drawBrokenMark(oxGuiPointD position, double side, oxColour colour, oxColour background)
{
    // A picture icon (frame, mountains, sun) of 40 % of the side, cut in
    // two by a zigzag crack in the square's colour.
    const double w = 0.4 * side, h = 0.3 * side, t = std::max(1.0, 0.02 * side);
    const double x0 = position.x + (side - w) / 2, y0 = position.y + (side - h) / 2 - 0.05 * side;
    const double x1 = x0 + w, y1 = y0 + h;
    prepare2D();
    setColour(colour);
    fillRect({x0, y0}, {w, t});
    fillRect({x0, y1 - t}, {w, t});
    fillRect({x0, y0}, {t, h});
    fillRect({x1 - t, y0}, {t, h});
    fillRect({x0 + 0.68 * w, y0 + 0.2 * h}, {0.12 * w, 0.12 * w}); // the sun
    // Mountains, wound counter-clockwise on screen like the fills.
    glBegin(GL_TRIANGLES);
    const double foot = y1 - t;
    glVertex2d(x0 + t, foot), glVertex2d(x0 + 0.55 * w, foot), glVertex2d(x0 + 0.3 * w, y0 + 0.35 * h);
    glVertex2d(x0 + 0.4 * w, foot), glVertex2d(x1 - t, foot), glVertex2d(x0 + 0.7 * w, y0 + 0.55 * h);
    glEnd();
    // The crack: a band 2.5 t wide, offset sideways from its zigzag line.
    setColour(background);
    glBegin(GL_TRIANGLE_STRIP);
    const double crack = x0 + 0.5 * w, zig = 0.08 * w, half = 1.25 * t;
    for (int i = 0; i <= 5; ++i) {
        const double x = crack + ((i % 2) ? zig : -zig), y = y0 - t + (h + 2 * t) * i / 5.0;
        glVertex2d(x + half, y), glVertex2d(x - half, y);
    }
    glEnd();
    glDisable(GL_BLEND);
}
