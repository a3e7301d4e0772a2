// The viewing transform of both picture views: turns mouse and keys into a
// zoom factor and an offset, animates zoom changes, keeps the offset inside
// what the content allows and moves the model-view matrix before a view
// draws. It serves whichever Display the application points it at.
#pragma once

#include "oxengine/gui/geometry.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/viewingtransform.h"

class Display;

// The zoom at which content (pixels - 1, as views measure it) fits a window
// of that size: whole, or as wide as the window when fitsToWidth.
double fitZoomFor(double windowWidth, double windowHeight, oxGuiSize content, bool fitsToWidth);

class FotoTransform : public oxViewingTransform, public oxIdleListener {
public:
    enum DragState { DRAG_IDLE = 0, DRAG_PRESSED = 1, DRAG_MOVING = 2 };

    // app is the framework that delivers the window size, redraws and idle
    // time; null: the one the transform is attached to, else the running one.
    explicit FotoTransform(Display* view = nullptr, oxApplication* app = nullptr);
    ~FotoTransform() override;

    void setView(Display* view);
    Display* view() const { return m_view; }
    // Limits recomputed, content shown at fit zoom and centred.
    void refit();
    // The view's content changed size while showing the same picture (the
    // full picture replaced a first look): a fitted picture stays fitted;
    // any other zoom keeps the picture's size and place on screen.
    void contentResized(oxGuiSize before);
    // Zooms about the anchor (fractions of the window size) so the content
    // point under it stays put; immediate ends a running animation.
    void zoomTo(double zoom, bool immediate, double anchorX, double anchorY);
    void zoomAnimated(double target);
    void scrollTo(double x, double y);

    void apply() override;
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    double zoom() const { return m_zoom; }
    double targetZoom() const { return m_targetZoom; }
    double fitZoom() const { return m_fitZoom; }
    double minimumZoom() const { return m_minZoom; }
    double maximumZoom() const { return m_maxZoom; }
    double offsetX() const { return m_offsetX; }
    double offsetY() const { return m_offsetY; }
    double minimumOffsetX() const { return m_minOffsetX; }
    double maximumOffsetX() const { return m_maxOffsetX; }
    double minimumOffsetY() const { return m_minOffsetY; }
    double maximumOffsetY() const { return m_maxOffsetY; }
    int dragState() const { return m_dragState; }
    // Registered for idle time while a zoom animation runs.
    bool isAnimating() const { return oxIdleListener::owner() != nullptr; }

    bool onMouseButton(int button, bool pressed, int x, int y) override;
    void onDrag(int dx, int dy) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    void onReshape(int width, int height) override;

    // Zoom animation step.
    bool idle(int64_t elapsedMicroseconds) override;

private:
    oxApplication* app() const;
    double windowWidth() const;
    double windowHeight() const;
    void computeFit();
    void computeScrollLimits();
    void setDragState(int state);
    void startAnimation();
    void stopAnimation();
    void redraw() const;

    oxApplication* m_app;
    Display* m_view = nullptr;
    int m_dragX = 0, m_dragY = 0;
    double m_minZoom = 1.0, m_maxZoom = 1.0, m_zoom = 1.0, m_targetZoom = 1.0, m_fitZoom = 1.0;
    double m_minOffsetX = 0, m_minOffsetY = 0, m_maxOffsetX = 0, m_maxOffsetY = 0;
    double m_offsetX = 0, m_offsetY = 0;
    double m_anchorX = 0.5, m_anchorY = 0.5;
    int m_dragState = DRAG_IDLE;
    bool m_enabled = true;
};
