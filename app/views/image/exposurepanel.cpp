#include "app/views/image/exposurepanel.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/slider.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double GAMMA_MIN = 0.3, GAMMA_MAX = 3.0;
constexpr double SATURATION_MIN = 0.4, SATURATION_MAX = 2.5;

// setRange asks for a redraw, so it is called only when a bound changes:
// setting equal ranges on every frame would keep the program drawing.
void keepRange(oxGuiSlider& slider, double minimum, double maximum)
{
    if (slider.getMinimum() != std::min(minimum, maximum) || slider.getMaximum() != std::max(minimum, maximum))
        slider.setRange(minimum, maximum);
}

} // namespace

ExposurePanel::ExposurePanel()
{
    m_black = addChild(std::make_unique<oxGuiSlider>(oxGetTranslation(N_("Black point")), 0.0, 1.0, 0.0));
    m_white = addChild(std::make_unique<oxGuiSlider>(oxGetTranslation(N_("White point")), 0.0, 1.1, 1.0));
    m_gamma = addChild(std::make_unique<oxGuiSlider>(oxGetTranslation(N_("Gamma")), GAMMA_MIN, GAMMA_MAX, 1.0));
    m_saturation = addChild(
        std::make_unique<oxGuiSlider>(oxGetTranslation(N_("Saturation")), SATURATION_MIN, SATURATION_MAX, 1.0));
}

void ExposurePanel::startFor(const SampleRange& s)
{
    const double lo = std::min(s.minimum, 0.0);
    m_black->setRange(lo, s.maximum);
    m_black->setValue(lo);
    m_white->setRange(lo, 1.1 * s.maximum);
    m_white->setValue(std::min(2.0 * s.middle, s.maximum));
    m_gamma->setRange(GAMMA_MIN, GAMMA_MAX);
    m_gamma->setValue(1.0);
    m_saturation->setRange(SATURATION_MIN, SATURATION_MAX);
    m_saturation->setValue(1.0);
}

void ExposurePanel::updateRanges(const SampleRange& s)
{
    // The black point keeps the picture's negative minimum in reach: a
    // range starting at 0 would move a start value below 0 on the first
    // frame. For pictures without negative samples this is 0 ... maximum.
    keepRange(*m_black, std::min(s.minimum, 0.0), s.maximum);
    keepRange(*m_white, s.minimum, 2.0 * s.maximum);
    keepRange(*m_gamma, GAMMA_MIN, GAMMA_MAX);
}

Exposure ExposurePanel::exposure() const
{
    return {m_black->getValue(), m_white->getValue(), m_gamma->getValue(), m_saturation->getValue()};
}

void ExposurePanel::layoutFor(oxGuiSize window, int textHeight)
{
    const int width = std::clamp(window.width - 256, 300, 600);
    // The layout depends on nothing else; redoing it per frame is wasted work.
    if (m_laidOutFor == oxGuiSize{width, window.height} && m_laidOutHeight == textHeight)
        return;
    m_laidOutFor = {width, window.height};
    m_laidOutHeight = textHeight;
    setTextHeight(textHeight);
    // The names in one column, the bars in line beside it.
    double names = 0;
    for (oxGuiSlider* s : {m_black, m_white, m_gamma, m_saturation})
        names = std::max(names, s->nameWidth(textHeight));
    for (oxGuiSlider* s : {m_black, m_white, m_gamma, m_saturation})
        s->setNameColumn(int(std::ceil(names)));
    const int height = getSize().height;
    setSize({width, height});
    setPosition({0, window.height - height});
}

void ExposurePanel::setBgColour(oxColour c)
{
    oxGuiVSizer::setBgColour(oxColour(c.r, c.g, c.b, 0));
    m_bgColour = c;
}

void ExposurePanel::draw()
{
    if (!isVisible())
        return;
    prepare2D();
    setColour(m_bgColour);
    fillRect({double(m_position.x), double(m_position.y)}, {double(m_size.width), double(m_size.height)});
    oxGuiVSizer::draw();
}
