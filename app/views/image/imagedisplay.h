// The single-picture view: shows the current picture of the list from the
// loader's tiles, cross-fades from the previous one, prints the overlay
// lines, draws the navigator for pictures larger than the window and
// carries the exposure panel for high-dynamic-range pictures. Panning and
// zooming are the viewing transform's; keys are the application's.
#pragma once

#include "app/views/crossfade.h"
#include "app/views/display.h"
#include "app/views/image/exposurepanel.h"
#include "app/views/image/frameplayer.h"
#include "app/views/image/viewoverlays.h"

#include "oxengine/graphics/framecopy.h"
#include "oxengine/platform/glapp.h"

#include <functional>
#include <memory>
#include <string>

class FotoTransform;
class TextureLoader;
class oxGuiPopupMenu;

class ImageDisplay : public Display, public oxIdleListener {
public:
    // The loader must outlive the view.
    ImageDisplay(ViewApplication* app, TextureLoader& loader);
    // Gives both pictures back to the loader.
    ~ImageDisplay() override;

    void applyStyle(const oxGuiStyle& style) override;
    void setDisplayScale(double scale) override { m_displayScale = scale; }
    double displayScale() const { return m_displayScale; }
    // Image size - 1 of the shown picture; navigator size squared without one.
    oxGuiSize contentSize() override;
    oxGuiSizeD scaledContentSize() override;
    void drawView(int infoLevel) override;

    // Shows the picture of a picture-list entry; the picture on screen
    // starts fading out. A picture the loader is still preparing is shown
    // when it is ready (the redraw after the loader's call picks it up);
    // until then the view shows what it shows, with a loading hint after
    // kLoadingHintDelayUs. Asking for another entry meanwhile replaces it.
    void showPicture(const std::string& entry);
    // Takes the awaited picture from the loader once it is ready (drawView
    // does so first thing); true when it was shown.
    bool pickUpPicture();
    // A picture asked for is still being prepared.
    bool isWaiting() const { return !m_waitingFor.empty(); }
    const std::string& waitingFor() const { return m_waitingFor; }
    // Whether the loading hint is due (it is drawn from then on).
    bool loadingHintShown() const;
    // Gives both pictures back and stops the fade (before the loader stops).
    void shutDown();
    // Shows nothing (the picture list ran empty): no picture, no lines.
    void showNothing();

    // Elements first; left: next picture; right: the context menu.
    bool onClick(int button, int x, int y) override;
    bool onCommand(unsigned command) override;
    // P pauses and resumes an animated picture, "." steps it frame by frame;
    // other keys go to the elements.
    bool onKeyDown(int key, bool special) override;
    // Cross-fade step.
    bool idle(int64_t elapsedMicroseconds) override;

    LoadedPicture* currentPicture() const { return m_current; }
    // Whether the current picture can be drawn (a failed load has no tiles).
    bool hasPicture() const;
    // The next frame starts a cross-fade from the copy of the last frame at
    // rest, which covers the whole window.
    bool nextFrameStartsFromCopy() const;
    // Right after a frame at rest was shown: puts its copy (the frame without
    // the overlays) back into the back buffer, so that a fade starting in the
    // next frame need not draw it. True when done. The application then
    // tells the next frame that the back buffer holds it, and every other
    // frame that it does not.
    bool primeBackBuffer();
    void setBackBufferHoldsCopy(bool holds) { m_backBufferHoldsCopy = holds; }
    const CrossFade& crossFade() const { return m_fade; }
    bool isFading() const { return oxIdleListener::owner() != nullptr; }
    const ViewOverlays& overlays() const { return m_overlays; }
    ExposurePanel& exposurePanel() const { return *m_exposurePanel; }
    const FramePlayer& framePlayer() const { return m_player; }
    // The clock the animation runs on (microseconds); tests set their own.
    void setClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }
    TextureLoader& loader() const { return m_loader; }
    int navigatorSize() const { return m_navigatorSize; }

    // The context menu for the current info level.
    std::unique_ptr<oxGuiPopupMenu> contextMenu();

    static constexpr int64_t kLoadingHintDelayUs = 300000;

private:
    // Shows the entry's picture (null: its loading failed).
    void show(const std::string& entry, LoadedPicture* picture);
    void releasePicture(LoadedPicture*& picture);
    // The current picture is a first look drawn larger than its texels.
    bool firstLookMagnified() const;
    void startFadeListener();
    void stopFadeListener();
    void drawInfo(int infoLevel);
    // Meets, in a frame that is then cleared, what the first picture's frame
    // will need.
    void rehearseFirstFrame(const oxGuiSize& window);
    void resumeReadAhead();
    // Puts the frame due now into the current picture's tiles and asks for
    // the redraw of the next one.
    void animate();
    // Keeps this frame's copy when it is at rest, or forgets the last one.
    void keepFrame(const FotoTransform* t);
    bool copyShowsFade(const oxGuiSize& window) const;

    TextureLoader& m_loader;
    LoadedPicture* m_current = nullptr;
    CrossFade m_fade;
    // The last frame at rest, without the overlays: a cross-fade from it puts
    // it back instead of drawing the picture that leaves again.
    oxFrameCopy m_frameCopy;
    // From the first fade on: the first frame after start-up does not pay for
    // a copy (nor for the renderer's first preparation of one).
    bool m_copyFrames = false;
    bool m_copiedThisFrame = false;
    bool m_backBufferHoldsCopy = false;
    struct {
        const LoadedPicture* picture = nullptr;
        double scale = 0, offsetX = 0, offsetY = 0;
    } m_copied;
    double m_displayScale = 1.0;
    oxGuiSize m_laidOut; // contentSize() the transform last saw for the current picture
    ViewOverlays m_overlays;
    int m_navigatorSize = 256;
    ExposurePanel* m_exposurePanel;
    SampleRange m_samples; // of the current picture, for the exposure panel
    bool m_hdr = false;
    bool m_detailsShown = false;
    FramePlayer m_player; // of the current picture
    std::function<int64_t()> m_clock;
    int64_t m_frames = 0; // drawn so far
    bool m_rehearsed = false;
    // Reading ahead waits for the first frame after m_holdFrame.
    bool m_readAheadHeld = false;
    int64_t m_holdFrame = 0;
    std::string m_waitingFor;   // the entry being prepared, empty for none
    int64_t m_waitingSince = 0; // m_clock() when it was asked for
};
