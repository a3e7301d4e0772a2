// The four text lines the single-picture view prints over the picture: the
// zoom label (top right), the file name, the detail line (date, size,
// pixels) and the picture's own text (top left, in this order downwards).
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/graphics/overlay.h"
#include "oxengine/gui/geometry.h"
#include "oxengine/gui/style.h"

#include <optional>
#include <string>
#include <vector>

class ViewOverlays {
public:
    ViewOverlays();

    // Text height (h x 11 + 5) / 10; zoom and file name in the foreground,
    // text and detail lines 14 % toward the background; all on the
    // background colour.
    void applyStyle(const oxGuiStyle& style);

    void setFileName(const std::string& name) { m_fileName.setText(name); }
    void setPictureText(const std::string& text) { m_text.setText(text); }
    // The detail line of the picture; the record's lock must be held.
    void setDetails(const LoadedPicture& picture);
    void clearDetails() { m_detail.setText({}); }
    // "<zoom x 100, rounded> %"; the text is only rebuilt when it changes.
    void setZoom(std::optional<double> zoom);

    // Places the lines for a window of that size (the detail line only when
    // showDetails) and returns those to draw, in drawing order, each with
    // its font.
    std::vector<oxGLUTOverlay*> place(oxGuiSize window, bool showDetails);
    // Places and draws them.
    void draw(oxGuiSize window, bool showDetails);
    // The hint that the picture of name is being prepared, in the middle of
    // the window in the file name line's style, whatever the info level.
    void drawLoadingHint(oxGuiSize window, const std::string& name);
    const oxGLUTOverlay& loadingHint() const { return m_loading; }

    const oxGLUTOverlay& zoomLabel() const { return m_zoom; }
    const oxGLUTOverlay& fileNameLine() const { return m_fileName; }
    const oxGLUTOverlay& pictureTextLine() const { return m_text; }
    const oxGLUTOverlay& detailLine() const { return m_detail; }

    // The detail text: local date and time, the size with a prefix, and
    // "%d x %d pixels" of the picture's size in the file.
    static std::string detailText(double fileDate, int64_t fileSize, int width, int height);
    // The zoom label's text for a zoom factor.
    static std::string zoomText(double zoom);

private:
    oxGLUTOverlay m_zoom, m_fileName, m_text, m_detail, m_loading;
    long m_zoomPercent = -1;
};
