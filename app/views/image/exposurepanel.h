// The exposure panel of the single-picture view: four sliders for the black
// point, white point, gamma and saturation of a high-dynamic-range picture,
// in the bottom-left corner of the window. The view reads the values on
// every frame, so the sliders need no change notification.
#pragma once

#include "app/views/exposureshader.h"

#include "oxengine/gui/sizers.h"

class oxGuiSlider;

// A picture's minimum, middle and maximum sample values.
struct SampleRange {
    double minimum = 0.0, middle = 0.5, maximum = 1.0;
};

class ExposurePanel : public oxGuiVSizer {
public:
    ExposurePanel();

    // Ranges and start values for a newly shown picture.
    void startFor(const SampleRange& samples);
    // The ranges while the picture is shown; the values stay as they are
    // unless they fall outside.
    void updateRanges(const SampleRange& samples);
    Exposure exposure() const;

    // Width clamp(window width - 256, 300, 600), the preferred height for
    // the text height, at the bottom-left corner of the window.
    void layoutFor(oxGuiSize window, int textHeight);

    oxGuiSlider& blackPoint() const { return *m_black; }
    oxGuiSlider& whitePoint() const { return *m_white; }
    oxGuiSlider& gamma() const { return *m_gamma; }
    oxGuiSlider& saturation() const { return *m_saturation; }

    // The panel fills its background itself; the sliders get it with
    // alpha 0 so it is not blended twice.
    void setBgColour(oxColour c) override;
    void draw() override;

private:
    oxGuiSlider* m_black;
    oxGuiSlider* m_white;
    oxGuiSlider* m_gamma;
    oxGuiSlider* m_saturation;
    oxGuiSize m_laidOutFor{-1, -1};
    int m_laidOutHeight = -1;
};
