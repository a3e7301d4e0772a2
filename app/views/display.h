// The common base of the two picture views: a GUI host that shows one thing
// (a picture, a sheet of thumbnails) which the viewing transform zooms and
// scrolls, with an information level of 0 (none), 1 or 2 (most).
#pragma once

#include "oxengine/gui/geometry.h"
#include "oxengine/gui/host.h"

#include <memory>

class ExposureShader;
class ViewApplication;
class oxApplication;

class Display : public oxGuiHost {
public:
    // app may be null: a view without an application (defaults only).
    explicit Display(ViewApplication* app);
    // Stops being the active view, lets go of the exposure shader and
    // destroys the hosted elements.
    ~Display() override;

    // The application's current GUI style, through applyStyle.
    virtual void applyGlobalStyle();
    // The factor by which the view enlarges what it shows.
    virtual void setDisplayScale(double scale) = 0;
    // Width and height in pixels of what the view shows; never negative.
    virtual oxGuiSize contentSize() = 0;
    // contentSize() times the display scale.
    virtual oxGuiSizeD scaledContentSize() = 0;
    // Whether the transform may fit the content to the window width alone.
    virtual bool fitsToWidth() const { return false; }
    virtual void drawView(int infoLevel) = 0;

    // The level the view was last drawn with (the context menu shows it).
    int infoLevel() const { return m_infoLevel; }
    void setInfoLevel(int level) { m_infoLevel = level; }

    ViewApplication* application() const { return m_app; }
    // The application's framework, or the running one.
    oxApplication* framework() const;
    // Window size of the framework; (0, 0) without one.
    oxGuiSize windowSize() const;
    void requestRedraw() const;
    ExposureShader& exposureShader() const { return *m_exposureShader; }

private:
    ViewApplication* m_app;
    std::shared_ptr<ExposureShader> m_exposureShader;
    int m_infoLevel = 1;
};
