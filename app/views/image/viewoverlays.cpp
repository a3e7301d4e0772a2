#include "app/views/image/viewoverlays.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

long zoomPercent(double zoom)
{
    const double p = zoom * 100.0 + 0.5;
    if (!std::isfinite(p))
        return 0;
    return long(std::clamp(p, 0.0, double(std::numeric_limits<int>::max())));
}

} // namespace

ViewOverlays::ViewOverlays()
{
    for (oxGLUTOverlay* o : {&m_zoom, &m_fileName, &m_text, &m_detail, &m_loading})
        o->setFontName(defaultGuiStyle.fontName);
}

void ViewOverlays::applyStyle(const oxGuiStyle& style)
{
    const double height = (style.textHeight * 11 + 5) / 10;
    const oxColour dim = style.fgColour.blend(style.bgColour, 0.14f);
    for (oxGLUTOverlay* o : {&m_zoom, &m_fileName, &m_text, &m_detail, &m_loading}) {
        if (o->fontName() != style.fontName)
            o->setFont(nullptr);
        o->setFontName(style.fontName);
        o->setTextHeight(height);
        o->setBackgroundColour(style.bgColour);
    }
    m_zoom.setColour(style.fgColour);
    m_fileName.setColour(style.fgColour);
    m_loading.setColour(style.fgColour);
    m_text.setColour(dim);
    m_detail.setColour(dim);
}

std::string ViewOverlays::detailText(double fileDate, int64_t fileSize, int width, int height)
{
    return formatDateTime(fileDate, true, "%c") + "  -  " + formatWithPrefix(double(fileSize), -3, "B") + "  -  " +
           formatString(oxGetTranslation(N_("%d x %d pixels")), width, height);
}

std::string ViewOverlays::zoomText(double zoom)
{
    return formatInteger(zoomPercent(zoom)) + " %";
}

void ViewOverlays::setDetails(const LoadedPicture& p)
{
    m_detail.setText(detailText(p.fileDate, p.fileSize, p.fullWidth, p.fullHeight));
}

void ViewOverlays::setZoom(std::optional<double> zoom)
{
    const long percent = zoom ? zoomPercent(*zoom) : -1;
    if (percent != m_zoomPercent) {
        m_zoomPercent = percent;
        m_zoom.setText(zoom ? zoomText(*zoom) : std::string());
    }
}

std::vector<oxGLUTOverlay*> ViewOverlays::place(oxGuiSize window, bool showDetails)
{
    std::vector<oxGLUTOverlay*> placed;
    for (oxGLUTOverlay* o : {&m_zoom, &m_fileName, &m_text, &m_detail})
        if (!o->font())
            o->useFont(o->fontName(), o->textHeight());
    m_zoom.setPosition(window.width - m_zoom.measure().width - 5, 30);
    placed.push_back(&m_zoom);
    const double line = m_fileName.textHeight();
    m_fileName.setPosition(5, line + 5);
    placed.push_back(&m_fileName);
    double y = m_fileName.y() + line;
    if (showDetails) {
        m_detail.setPosition(5, y);
        placed.push_back(&m_detail);
        y += line;
    }
    if (!m_text.text().empty()) {
        m_text.setPosition(5, y);
        placed.push_back(&m_text);
    }
    return placed;
}

void ViewOverlays::draw(oxGuiSize window, bool showDetails)
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    for (oxGLUTOverlay* o : place(window, showDetails))
        o->draw();
}

void ViewOverlays::drawLoadingHint(oxGuiSize window, const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const std::string text =
        formatString(oxGetTranslation("Loading %s ..."), (slash == std::string::npos ? name : name.substr(slash + 1)).c_str());
    if (m_loading.text() != text)
        m_loading.setText(text);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    if (!m_loading.font())
        m_loading.useFont(m_loading.fontName(), m_loading.textHeight());
    const oxTextSize size = m_loading.measure();
    m_loading.setPosition((window.width - size.width) / 2, (window.height + size.height) / 2);
    m_loading.draw();
}
