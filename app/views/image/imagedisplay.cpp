#include "app/views/image/imagedisplay.h"

#include "app/loader/textureloader.h"
#include "app/shell/commands.h"
#include "app/shell/configkeys.h"
#include "app/views/exposureshader.h"
#include "app/views/fototransform.h"
#include "app/views/image/imagemenu.h"
#include "app/views/image/navigator.h"
#include "app/views/picturedraw.h"
#include "app/views/viewapplication.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/guimenu.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Up to this opacity the arriving picture is only faintly over the leaving
// one (the first frame after a key shows it a quarter opaque).
constexpr double kFaintFade = 0.3;

// The window rectangle of a picture drawn at the scale from the origin.
bool windowBounds(const LoadedPicture& p, double scale, double originX, double originY, WindowRect& rect)
{
    oxLock lock(p.lock);
    TileQuad b;
    if (!pictureBounds(p, scale, b))
        return false;
    rect = {b.x0 + originX, b.y0 + originY, b.x1 + originX, b.y1 + originY};
    return true;
}

int64_t steadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ImageDisplay::ImageDisplay(ViewApplication* app, TextureLoader& loader)
    : Display(app), m_loader(loader), m_clock(steadyMicroseconds)
{
    m_exposurePanel = addElement(std::make_unique<ExposurePanel>());
    m_exposurePanel->setVisible(false);
}

ImageDisplay::~ImageDisplay()
{
    shutDown();
}

void ImageDisplay::releasePicture(LoadedPicture*& picture)
{
    if (picture)
        m_loader.releasePicture(picture);
    picture = nullptr;
}

void ImageDisplay::resumeReadAhead()
{
    if (std::exchange(m_readAheadHeld, false))
        m_loader.holdReadAhead(false);
}

void ImageDisplay::shutDown()
{
    resumeReadAhead();
    m_waitingFor.clear();
    LoadedPicture* previous = m_fade.take();
    releasePicture(previous);
    releasePicture(m_current);
    stopFadeListener();
}

void ImageDisplay::showNothing()
{
    shutDown(); // also forgets a picture being prepared
    m_overlays.setFileName({});
    m_overlays.setPictureText({});
    m_overlays.clearDetails();
    m_hdr = false;
    m_exposurePanel->setVisible(false);
    m_laidOut = contentSize();
    requestRedraw();
}

void ImageDisplay::startFadeListener()
{
    if (!isFading())
        if (oxApplication* app = framework())
            app->addIdleListener(this);
}

void ImageDisplay::stopFadeListener()
{
    resumeReadAhead(); // a fade that ran out without a frame (nothing drawn) too
    if (oxApplication* app = oxIdleListener::owner())
        app->removeIdleListener(this);
}

void ImageDisplay::applyStyle(const oxGuiStyle& style)
{
    Display::applyStyle(style);
    m_overlays.applyStyle(style);
    m_exposurePanel->setBgColour(style.bgColour.blend(style.fgColour, 0.18f));
}

bool ImageDisplay::hasPicture() const
{
    if (!m_current)
        return false;
    oxLock lock(m_current->lock);
    return m_current->hasTiles();
}

oxGuiSize ImageDisplay::contentSize()
{
    if (hasPicture()) {
        oxLock lock(m_current->lock);
        return {std::max(m_current->shownWidth() - 1, 0), std::max(m_current->shownHeight() - 1, 0)};
    }
    return {m_navigatorSize, m_navigatorSize};
}

oxGuiSizeD ImageDisplay::scaledContentSize()
{
    const oxGuiSize s = contentSize();
    return {s.width * m_displayScale, s.height * m_displayScale};
}

void ImageDisplay::showPicture(const std::string& entry)
{
    if (m_current) {
        // The frame that starts the fade to it comes before the decoding of
        // its neighbours, which would take the cores that frame needs.
        m_loader.holdReadAhead(true);
        m_readAheadHeld = true;
        m_holdFrame = m_frames;
    }
    const PictureRequest request = m_loader.requestPicture(entry);
    if (request.pending) {
        // The last one asked for is the one that matters.
        m_waitingFor = entry;
        m_waitingSince = m_clock();
        if (oxApplication* app = framework())
            app->postRedisplayAfter(int(kLoadingHintDelayUs / 1000));
        return;
    }
    m_waitingFor.clear();
    show(entry, request.picture);
}

bool ImageDisplay::pickUpPicture()
{
    if (m_waitingFor.empty())
        return false;
    const PictureRequest request = m_loader.requestPicture(m_waitingFor);
    if (request.pending)
        return false;
    const std::string entry = std::exchange(m_waitingFor, {});
    show(entry, request.picture);
    // What the application does after a picture shown at once.
    ViewApplication* app = application();
    if (FotoTransform* t = app ? app->fotoTransform() : nullptr; t && t->view() == this)
        t->refit();
    return true;
}

bool ImageDisplay::loadingHintShown() const
{
    return !m_waitingFor.empty() && m_clock() - m_waitingSince >= kLoadingHintDelayUs;
}

void ImageDisplay::show(const std::string& entry, LoadedPicture* picture)
{
    LoadedPicture* fading = m_fade.take();
    releasePicture(fading);
    // A copy of any other record could show a later picture that reuses it.
    if (m_copied.picture != m_current)
        m_copied = {};
    if (m_current) {
        const FotoTransform* t = application() ? application()->fotoTransform() : nullptr;
        // Read once per fade rather than on every frame.
        m_fade.start(m_current, m_displayScale, t ? t->offsetX() : 0.0, t ? t->offsetY() : 0.0,
                     readConfigInt(ConfigKey::AnimLengthUs));
        // The frame right after the key shows the new picture already: a
        // quarter in, as if a frame had passed (on a software renderer a
        // frame takes a good part of the fade).
        m_fade.advance(m_fade.length() / 4);
        m_copyFrames = true;
        m_current = nullptr;
        startFadeListener();
    }
    m_player.stop(); // the next picture's frames start when it is first drawn
    m_current = picture;
    m_overlays.setFileName(entry);
    m_overlays.clearDetails();
    m_hdr = false;
    std::string text = oxGetTranslation(N_("[Error loading image.]"));
    if (m_current) {
        oxLock lock(m_current->lock);
        if (m_current->hasTiles()) {
            text = m_current->text;
            if (!m_current->note.empty())
                text += (text.empty() ? "" : " ") + m_current->note;
            m_overlays.setDetails(*m_current);
            m_hdr = m_current->hdr;
            m_samples = {m_current->minValue, m_current->midValue, m_current->maxValue};
            if (m_hdr)
                m_exposurePanel->startFor(m_samples);
        } else if (!m_current->note.empty()) {
            // A failed load says why.
            text = m_current->note;
        }
    }
    m_overlays.setPictureText(text);
    m_exposurePanel->setVisible(m_hdr && infoLevel() != 0);
    m_laidOut = contentSize();
    requestRedraw();
}

bool ImageDisplay::idle(int64_t elapsedMicroseconds)
{
    // Idle ticks come after the frame of their pass is on screen.
    if (m_frames != m_holdFrame)
        resumeReadAhead();
    if (!m_fade.previous()) {
        stopFadeListener();
        return true;
    }
    if (m_fade.advance(elapsedMicroseconds)) {
        LoadedPicture* done = m_fade.take();
        releasePicture(done);
        stopFadeListener();
    }
    requestRedraw();
    return true;
}

void ImageDisplay::animate()
{
    if (!hasPicture())
        return;
    oxLock lock(m_current->lock);
    LoadedPicture& p = *m_current;
    const int64_t now = m_clock();
    // The loader may have filled the record (again) since the last frame.
    if (p.frames.size() != m_player.frameCount() || p.frames.size() != p.frameDelays.size()) {
        if (p.frames.size() >= 2 && p.frames.size() == p.frameDelays.size())
            m_player.start(p.frameDelays, p.framePlays, now);
        else
            m_player.stop();
    }
    if (!m_player.active())
        return;
    const int frame = m_player.frame(now);
    if (frame != p.shownFrame) {
        p.tiles = p.frames[size_t(frame)];
        p.shownFrame = frame;
    }
    // The next redraw when the next frame is due, no sooner; none while
    // paused or after the last play, and none once the view is not drawn.
    const int64_t wait = m_player.untilNext(now);
    if (wait >= 0)
        if (oxApplication* app = framework())
            app->postRedisplayAfter(int((wait + 999) / 1000));
}

bool ImageDisplay::onKeyDown(int key, bool special)
{
    if (!special && m_player.active() && (key == 'p' || key == 'P' || key == '.')) {
        if (key == '.')
            m_player.step(m_clock());
        else
            m_player.togglePause(m_clock());
        requestRedraw();
        return true;
    }
    return Display::onKeyDown(key, special);
}

bool ImageDisplay::firstLookMagnified() const
{
    if (!hasPicture())
        return false;
    oxLock lock(m_current->lock);
    const LoadedPicture& p = *m_current;
    // A first look covers the screen at fit zoom; past that its texels show.
    return p.firstLook && (m_displayScale * p.shownWidth() > 1.001 * p.imageWidth ||
                           m_displayScale * p.shownHeight() > 1.001 * p.imageHeight);
}

void ImageDisplay::drawView(int infoLevel)
{
    ++m_frames;
    m_copiedThisFrame = false;
    const bool copyInBackBuffer = std::exchange(m_backBufferHoldsCopy, false);
    setInfoLevel(infoLevel);
    pickUpPicture();
    animate();
    const oxGuiSize window = windowSize();
    if (!m_current && isWaiting() && !m_rehearsed)
        rehearseFirstFrame(window);
    ViewApplication* app = application();
    FotoTransform* t = app ? app->fotoTransform() : nullptr;
    // The loader replaced the picture's content with a larger (or smaller)
    // one since the transform last laid it out.
    if (const oxGuiSize now = contentSize(); hasPicture() && now != m_laidOut) {
        const oxGuiSize before = m_laidOut;
        m_laidOut = now;
        if (t && t->view() == this)
            t->contentResized(before);
        oxLock lock(m_current->lock);
        m_overlays.setDetails(*m_current); // the full picture's own size
    }
    if (firstLookMagnified())
        m_loader.completePicture(m_current);
    const Exposure exposure = m_exposurePanel->exposure();
    ExposureShader* shader = &exposureShader();
    LoadedPicture* previous = m_fade.previous();
    const bool fading = previous && m_fade.fade() > 0.0;

    if (fading) {
        // The old picture, the veil over what of it the new one leaves
        // uncovered, then the new one over both: the order does what a depth
        // test would, without a depth buffer to clear and test on every
        // frame. Both sampled from one mipmap level, which a software
        // renderer draws in about three quarters of the time.
        const double x = pixelCentreOrigin(m_fade.previousOffsetX()), y = pixelCentreOrigin(m_fade.previousOffsetY());
        glPushMatrix();
        glLoadIdentity();
        glTranslated(x, y, 0);
        if (copyShowsFade(window)) {
            glLoadIdentity();
            if (!copyInBackBuffer)
                m_frameCopy.draw();
        } else {
            drawPicture(*previous, m_fade.previousScale(), 1.0, 0.0, shader, &exposure, TileSampling::NearestLevel);
        }
        WindowRect old, shown;
        const bool covered = t && m_current &&
                             windowBounds(*m_current, m_displayScale, pixelCentreOrigin(t->offsetX()),
                                          pixelCentreOrigin(t->offsetY()), shown);
        if (windowBounds(*previous, m_fade.previousScale(), x, y, old)) {
            glLoadIdentity();
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_BLEND);
            oxColour veil = app ? app->guiStyle().bgColour : defaultGuiStyle.bgColour;
            veil.a = uint8_t(m_fade.opacity() * 255.0 + 0.5);
            setColour(veil);
            for (const WindowRect& r : uncoveredParts(old, covered ? &shown : nullptr))
                fillRect({r.x0, r.y0}, {r.x1 - r.x0, r.y1 - r.y0});
            glDisable(GL_BLEND);
        }
        glPopMatrix();
    }
    if (m_current && m_fade.fade() < 1.0) {
        glPushMatrix();
        if (t) {
            glLoadIdentity();
            glTranslated(pixelCentreOrigin(t->offsetX()), pixelCentreOrigin(t->offsetY()), 0);
        }
        const TileSampling sampling = !fading                       ? TileSampling::Smooth
                                      : m_fade.opacity() <= kFaintFade ? TileSampling::NearestTexel
                                                                      : TileSampling::NearestLevel;
        drawPicture(*m_current, m_displayScale, m_fade.opacity(), 0.0, shader, &exposure, sampling);
        glPopMatrix();
    }
    if (!fading)
        keepFrame(t);
    glColor4f(1, 1, 1, 1);
    // Hidden controls must not take clicks either.
    const bool panelShown = m_hdr && infoLevel != 0;
    if (m_exposurePanel->isVisible() != panelShown)
        m_exposurePanel->setVisible(panelShown);
    if (infoLevel != 0 && t)
        drawInfo(infoLevel);
    if (loadingHintShown()) {
        m_overlays.drawLoadingHint(window, m_waitingFor);
    } else if (isWaiting()) {
        // Drawn sooner for another reason: the hint's own redraw again.
        const int64_t due = kLoadingHintDelayUs - (m_clock() - m_waitingSince);
        if (oxApplication* a = framework())
            a->postRedisplayAfter(int((due + 999) / 1000));
    }
}

void ImageDisplay::rehearseFirstFrame(const oxGuiSize& window)
{
    // A software renderer compiles the code of each kind of drawing the first
    // time it meets it: for a picture's tiles and the overlay text that is
    // ~100 ms, which would otherwise come between the start picture's decode
    // and its frame. The frames before the first picture are drawn while the
    // decode runs, so they meet a transparent tile made as the picture's are
    // and a text line, and clear them again.
    m_rehearsed = true;
    auto image = oxImageUInt8::create(3, 3);
    if (!image)
        return;
    image->fill(oxColourValue(oxColour(0, 0, 0, 0)));
    LoadedPicture tile;
    tile.tiles[0][0] = oxTextureRef(createTexture(*image, MIPMAP_ENGINE, tileTextureParams()));
    tile.imageWidth = tile.tileWidth = 3;
    tile.imageHeight = tile.tileHeight = 3;
    if (tile.tiles[0][0])
        drawPicture(tile, 1.0, 1.0, 0.0, nullptr, nullptr);
    m_overlays.drawLoadingHint(window, m_waitingFor);
    glClear(GL_COLOR_BUFFER_BIT);
    tile.releaseTiles();
}

void ImageDisplay::keepFrame(const FotoTransform* t)
{
    // Not while the view moves or an animated picture plays: every frame would
    // pay for a copy no fade uses.
    const oxGuiSize window = windowSize();
    m_copiedThisFrame = m_copyFrames && m_current && t && !t->isAnimating() && !m_player.active() &&
                        m_frameCopy.capture(window.width, window.height);
    if (m_copiedThisFrame)
        m_copied = {m_current, m_displayScale, t->offsetX(), t->offsetY()};
    else
        m_copied = {};
}

bool ImageDisplay::primeBackBuffer()
{
    // A step from rest then costs the arriving picture and the overlays
    // only; putting the copy back here is paid once, while nobody waits.
    if (!m_copiedThisFrame)
        return false;
    glPushMatrix();
    glLoadIdentity();
    m_frameCopy.draw();
    glPopMatrix();
    glFlush();
    return true;
}

bool ImageDisplay::nextFrameStartsFromCopy() const
{
    return m_fade.previous() && m_fade.fade() > 0.0 && copyShowsFade(windowSize());
}

bool ImageDisplay::copyShowsFade(const oxGuiSize& window) const
{
    // The leaving picture exactly as the copy has it, or drawn anew.
    return m_copied.picture && m_copied.picture == m_fade.previous() && m_copied.scale == m_fade.previousScale() &&
           m_copied.offsetX == m_fade.previousOffsetX() && m_copied.offsetY == m_fade.previousOffsetY() &&
           m_frameCopy.holds(window.width, window.height);
}

void ImageDisplay::drawInfo(int infoLevel)
{
    const oxGuiSize window = windowSize();
    const FotoTransform& t = *application()->fotoTransform();
    const bool shown = hasPicture();
    if (infoLevel == 2 && shown) {
        oxLock lock(m_current->lock);
        const NavigatorLayout n = navigatorLayout(window, m_current->shownWidth(), m_current->shownHeight(), m_displayScale,
                                                  t.zoom(), t.offsetX(), t.offsetY(), m_navigatorSize);
        const oxGLUTOverlay& names = m_overlays.fileNameLine();
        drawNavigator(*m_current, n, names.backgroundColour().blend(names.colour(), 0.18f), &exposureShader());
    }
    if (m_hdr && shown) {
        m_exposurePanel->updateRanges(m_samples);
        m_exposurePanel->layoutFor(window, application()->guiStyle().textHeight);
        renderElements();
    }
    // Without a picture there is no zoom to tell.
    m_overlays.setZoom(shown ? std::optional<double>(t.zoom()) : std::nullopt);
    m_overlays.draw(window, infoLevel == 2 && shown);
}

std::unique_ptr<oxGuiPopupMenu> ImageDisplay::contextMenu()
{
    auto menu = buildImageMenu(infoLevel(), application());
    menu->applyStyle(application() ? application()->guiStyle() : defaultGuiStyle);
    return menu;
}

bool ImageDisplay::onClick(int button, int x, int y)
{
    if (Display::onClick(button, x, y))
        return true;
    if (button == 0) {
        if (ViewApplication* app = application())
            app->stepPicture(+1);
        return true;
    }
    if (button == 2) {
        // Runs modally; the chosen entry posts its command.
        contextMenu()->popup(x, y);
        return false;
    }
    return false;
}

bool ImageDisplay::onCommand(unsigned command)
{
    ViewApplication* app = application();
    switch (command) {
    case CMD_BACK:
        if (app)
            app->stepPicture(-1);
        return true;
    case CMD_NEXT:
        if (app)
            app->stepPicture(+1);
        return true;
    case CMD_ORIGINAL_SIZE:
        if (app)
            app->showOriginalSize();
        return true;
    case CMD_SELECT_FOLDER:
        if (app)
            app->selectFolder();
        return true;
    case CMD_SAVE_AS:
        if (app && hasPicture()) {
            SaveAsRequest request;
            {
                oxLock lock(m_current->lock);
                request.path = m_current->name;
                if (m_current->hdr) {
                    const Exposure e = m_exposurePanel->exposure();
                    request.hasExposure = true;
                    request.exposure = {TM_HDR_ONLY, float(e.blackPoint), float(e.whitePoint), float(e.gamma),
                                        float(e.saturation)};
                }
            }
            app->saveAs(request);
        }
        return true;
    case CMD_DELETE:
        if (app && m_current) {
            std::string path;
            {
                oxLock lock(m_current->lock);
                path = m_current->name;
            }
            app->deletePicture(path);
        }
        return true;
    default:
        return false;
    }
}
