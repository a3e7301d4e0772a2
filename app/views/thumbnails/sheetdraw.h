// Drawing the thumbnail sheet: the title, the lines of an empty folder, and
// one cell (thumbnail square, broken-picture mark, caption lines). Cells,
// title and lines are drawn in content coordinates times the display scale
// under the viewing transform's model-view matrix.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/gui/geometry.h"
#include "oxengine/image/sampletypes.h"

#include <string>
#include <vector>

class ExposureShader;
class oxImage;
class oxSoftFrame;
class oxTextOutput;

struct CaptionSwitches {
    bool comments = false; // the comment instead of the file name, where there is one
    bool sizes = false;    // picture size and file size lines
    bool date = false;     // file date line
};

// The caption of a cell, bottom line first: the file name (or the
// thumbnail's comment), then with a thumbnail the date, the picture size and
// the file size as switched on. record may be null (not made yet); its lock
// must be held.
std::vector<std::string> captionLines(const std::string& path, const LoadedPicture* record,
                                      const CaptionSwitches& switches);

// Whether the thumbnail was made and could not be decoded.
bool isBrokenThumbnail(const LoadedPicture* record);

// The colours of the sheet, from the GUI style.
struct SheetColours {
    oxColour foreground;
    oxColour background;
    oxColour cell() const;    // the square behind a thumbnail
    oxColour title() const;   // behind the title
    oxColour message() const; // behind the lines of an empty folder
    oxColour broken() const;  // the broken-picture mark
};

// One line at (x, bottom y) of the given height; cut with an ellipsis at
// maxWidth when it is positive. setUpTextLine only sets out up for it and
// says whether there is anything to draw.
bool setUpTextLine(oxTextOutput& out, const std::string& text, double x, double y, double height, oxColour colour,
                   oxColour background, double maxWidth = 0);
void drawTextLine(oxTextOutput& out, const std::string& text, double x, double y, double height, oxColour colour,
                  oxColour background, double maxWidth = 0);

// A cell at position (pixels, under the transform) with a square of side
// side: thumbnail or its background, the selection veil, the broken mark,
// then the caption lines growing upward from the square's lower edge,
// each cut to the square's width. record's lock must be held.
struct CellDrawing {
    oxGuiPointD position;
    double itemSize = 0;     // the square in content units
    double scale = 1.0;      // display scale
    double captionHeight = 0;
    bool selected = false;
};
void drawCell(const CellDrawing& cell, const LoadedPicture* record, const std::vector<std::string>& caption,
              const SheetColours& colours, oxTextOutput& out, ExposureShader* shader);

// The same cell, not selected, into a frame drawn without GL, in two
// steps: the square with its thumbnail (8-bit, opaque) of a picture whose
// longer side is fullExtent (0: unknown), which cells may draw on several
// threads at once; then, on one thread, the caption over it. False when the
// thumbnail or a glyph cannot be drawn there.
bool drawSquareInto(oxSoftFrame& frame, const CellDrawing& cell, const oxImage& thumbnail, int fullExtent,
                    oxColour background);
bool drawCaptionInto(oxSoftFrame& frame, const CellDrawing& cell, const std::vector<std::string>& caption,
                     const SheetColours& colours, oxTextOutput& out);

// A picture icon with a crack through it, centred in the square of side
// side at position; the crack has the square's colour.
void drawBrokenMark(oxGuiPointD position, double side, oxColour colour, oxColour background);
