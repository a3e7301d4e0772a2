#include "app/shell/pictavoapp.h"

#include "app/shell/appmessages.h"
#include "app/shell/configkeys.h"
#include "app/shell/startup.h"
#include "app/prepare/headstart.h"
#include "app/prepare/prepare.h"
#include "app/prepare/thumbnail.h"
#include "app/prepare/thumbnailheadstart.h"
#include "app/shell/loaderwiring.h"
#include "app/shell/sheetfill.h"
#include "app/views/fototransform.h"
#include "app/views/image/firstframe.h"

#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/platform/x11util.h"
#include "oxengine/core/catalogue.h"
#include "oxengine/core/embedded.h"
#include "oxengine/core/memory.h"
#include "oxengine/core/startuptrace.h"
#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/folderdialog.h"
#include "oxengine/gui/style.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/rc.h"
#include "oxengine/platform/x11util.h"
#include "oxengine/storage/files.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace {

int millisecondsLeft(std::chrono::steady_clock::duration left)
{
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

constexpr int WINDOW_ICON_SIZE = 64;

bool sameFolder(const std::string& a, const std::string& b)
{
    return oxFilename(a).toString() == oxFilename(b).toString();
}

bool isFolder(const std::string& path)
{
    const oxFilename folder(path);
    return !path.empty() && folder.exists() && folder.isDirectory();
}

// Where a start goes when the last folder has gone: the user's Pictures
// folder, else home, else the documents folder.
std::string fallbackStartFolder()
{
    for (const oxFilename& f : {oxFilename::picturesFolder(), oxFilename::homeFolder()})
        if (!f.components().empty() && isFolder(f.systemPath()))
            return f.toString();
    return oxFilename::documentsFolder().toString();
}

std::vector<std::string> firstScreenFiles(const std::vector<int>& cells, const std::vector<std::string>& paths)
{
    std::vector<std::string> files;
    for (int index : cells)
        files.push_back(paths[size_t(index)]);
    return files;
}

} // namespace

void initialWindowSize(int screenWidth, int screenHeight, int& width, int& height)
{
    // A tiny screen still gets a usable window.
    width = std::max(64, std::min(screenWidth - 50, 1024));
    height = std::max(64, std::min(screenHeight - 50, 768));
}

PictavoApp::PictavoApp(LoaderServices loaderServices)
    : m_list(listHooks()), m_headStart(std::make_shared<DecodeHeadStart>()),
      m_thumbnailHeadStart(std::make_shared<ThumbnailHeadStart>())
{
    LoaderServices services = programLoaderServices(std::move(loaderServices), m_headStart, m_thumbnailHeadStart);
    if (!services.reportFailures)
        services.reportFailures = [this](const std::vector<FileOperationFailure>& failures) {
            m_failures.add(fileOperationFailureText(failures));
            postCommand(CMD_SHOW_FAILURES);
        };
    m_loader = std::make_unique<BGTextureLoader>(m_list.paths(), std::move(services));
    m_imageDisplay = std::make_unique<ImageDisplay>(this, *m_loader);
    m_thumbnailDisplay = std::make_unique<ThumbnailDisplay>(this, m_list.paths(), *m_loader, *m_loader);

    int screenWidth = 1074, screenHeight = 818;
    oxPrimaryScreenSize(screenWidth, screenHeight);
    int width = 0, height = 0;
    initialWindowSize(screenWidth, screenHeight, width, height);
    setInitialWindowSize(width, height);
    // The window becomes full-screen: a first look covering the screen is
    // as sharp as the full picture at fit zoom.
    m_loader->setFirstLookCover(screenWidth, screenHeight);
    m_loader->holdReadAhead(true); // until the first frame is on screen
    setTitle(oxGetTranslation("Pictavo"));
    // The icon the desktop shows for the installed program, on the window
    // too (rendered from it at build time: no SVG renderer at start-up).
    if (const oxEmbeddedFile* icon = findEmbeddedFile("pictavo-64.argb")) {
        std::vector<uint32_t> argb(icon->size() / 4);
        for (size_t i = 0; i < argb.size(); ++i)
            argb[i] = uint32_t(icon->data()[4 * i]) | uint32_t(icon->data()[4 * i + 1]) << 8 |
                      uint32_t(icon->data()[4 * i + 2]) << 16 | uint32_t(icon->data()[4 * i + 3]) << 24;
        setWindowIcon(WINDOW_ICON_SIZE, WINDOW_ICON_SIZE, std::move(argb));
    }
    setDisplayMode("rgba double"); // no depth buffer: nothing tests depth, and it would cost a screen of memory
    setFullScreen(true);

    auto transform = std::make_unique<FotoTransform>(m_imageDisplay.get(), this);
    m_transform = transform.get();
    setViewingTransform(std::move(transform));

    m_list.setFolder(readConfigText(ConfigKey::LastFolder));
    m_overlayLevel = readConfigInt(ConfigKey::LastOverlays);
}

PictavoApp::~PictavoApp()
{
    destroyViews();
    // The transform goes while everything it may point at still exists.
    setViewingTransform(nullptr);
    m_transform = nullptr;
    if (oxStartupTraced())
        oxTraceStartup(false); // its log goes with the loader
    m_loader.reset();
}

PictureListHooks PictavoApp::listHooks()
{
    PictureListHooks hooks;
    hooks.message = showAppMessage;
    hooks.chooseFolder = [](std::string& path, const std::string& prompt) { return runFolderDialog(path, prompt); };
    hooks.showPicture = [this](int, const std::string& path) {
        if (!m_holdShowing && m_imageDisplay)
            m_imageDisplay->showPicture(path);
    };
    hooks.pictureShown = [this] {
        if (m_holdShowing)
            return;
        // The sheet is fitted when its folder changes, not when the current
        // picture does (Home and End would scroll it away). A picture still
        // being prepared is fitted when it comes; the one on screen
        // meanwhile stays as the user left it.
        if (m_transform && !thumbnailsActive() && !(m_imageDisplay && m_imageDisplay->isWaiting()))
            m_transform->refit();
        updateWindowCaption();
        postRedisplay();
    };
    hooks.showNothing = [this] {
        if (m_imageDisplay)
            m_imageDisplay->showNothing();
        if (m_transform && !thumbnailsActive())
            m_transform->refit();
        updateWindowCaption();
        postRedisplay();
    };
    hooks.thumbnailsActive = [this] { return thumbnailsActive(); };
    hooks.folderChanged = [this](const std::string& folder) { showFolderInSheet(folder); };
    return hooks;
}

void PictavoApp::setStartLocation(const StartLocation& location)
{
    m_list.setFolder(location.folder);
    m_startFolderGiven = true;
    m_startFile = location.file;
}

bool PictavoApp::setLogging(bool on)
{
    if (!m_loader->setLogging(on))
        return false;
    // The start-up stages go to the log as well.
    if (on)
        oxTraceStartup(false, [loader = m_loader.get()](const std::string& line) { loader->writeLog(line); });
    else if (oxStartupTraced())
        oxTraceStartup(false);
    return true;
}

void PictavoApp::makeActive(Display* view)
{
    if (m_activeView == view)
        return;
    if (m_activeView)
        removeGUIEventListener(m_activeView);
    m_activeView = view;
    if (view)
        addGUIEventListener(view, true);
}

void PictavoApp::viewDestroyed(Display* view)
{
    if (m_activeView == view)
        makeActive(nullptr);
    if (m_transform && m_transform->view() == view)
        m_transform->setView(nullptr);
}

void PictavoApp::enterThumbnails()
{
    makeActive(m_thumbnailDisplay.get());
    m_thumbnailDisplay->setFolder(m_list.folder());
    if (m_transform) {
        m_transform->setView(m_thumbnailDisplay.get());
        showSheetTop();
    }
}

void PictavoApp::showSheetTop()
{
    // The fit zooms about the window's centre, which leaves a sheet longer
    // than the window scrolled part-way down (its title cut off).
    m_transform->scrollTo(m_transform->minimumOffsetX(), m_transform->minimumOffsetY());
}

void PictavoApp::showSheetEnd()
{
    m_transform->scrollTo(m_transform->offsetX(), m_transform->maximumOffsetY());
}

void PictavoApp::showFolderInSheet(const std::string& folder)
{
    if (!m_thumbnailDisplay)
        return;
    const bool another = folder != m_thumbnailDisplay->folder();
    m_thumbnailDisplay->setFolder(folder);
    if (!m_transform || m_transform->view() != m_thumbnailDisplay.get())
        return;
    if (another) {
        m_transform->refit();
        showSheetTop();
    } else
        m_transform->onReshape(width(), height()); // the sheet's length may have changed
    postRedisplay();
}

void PictavoApp::toggleView()
{
    if (!m_thumbnailDisplay || !m_imageDisplay)
        return;
    if (thumbnailsActive()) {
        if (m_transform) {
            m_sheetZoom = m_transform->zoom();
            m_sheetOffsetX = m_transform->offsetX();
            m_sheetOffsetY = m_transform->offsetY();
        }
        makeActive(m_imageDisplay.get());
        if (m_transform)
            m_transform->setView(m_imageDisplay.get());
        // An empty list has had the view show nothing already.
        m_list.showCurrent();
        updateWindowCaption();
        return;
    }
    enterThumbnails();
    if (m_transform && m_sheetZoom >= 0.01) {
        m_transform->zoomTo(m_sheetZoom, true, 0.5, 0.5);
        m_transform->scrollTo(m_sheetOffsetX, m_sheetOffsetY);
    }
    updateWindowCaption(); // the sheet names its folder
}

void PictavoApp::showPictureAt(int index)
{
    // While the sheet is shown this only moves the position; the switch
    // shows the picture.
    m_list.goTo(index);
    if (thumbnailsActive())
        toggleView();
}

void PictavoApp::openFolder(const std::string& path, bool searchSubfolders)
{
    if (!path.empty())
        m_list.openFolder(path, searchSubfolders ? SUBFOLDERS_ALWAYS : SUBFOLDERS_NEVER);
}

void PictavoApp::onBeforeWindow(_XDisplay* display)
{
    // Pictures are converted to the display's colours as they are decoded,
    // from the first one on.
    oxSetDisplayProfile(oxDisplayIccProfile(display));
    if (m_startInThumbnails || readConfigInt(ConfigKey::LastMode) != 0) {
        if (m_startFolderGiven && isFullScreen()) {
            showSheetFirstFrame(display);
            // The frame and the folder's second listing are gone: their
            // memory goes back before the sheet's thumbnails take theirs.
            oxReleaseFreeMemory();
        }
        return;
    }
    if (m_startFile.empty())
        return;
    // On screen as soon as it is decoded, drawn without GL: the driver and
    // its first shaders take longer than the decode on a software renderer.
    // A file larger than about 12 MB does not decode within the wait below
    // (a 4 MB photo takes ~50 ms), and the GL window should not wait for it.
    constexpr int64_t kFirstFrameFileBytes = int64_t(12) << 20;
    if (!startFirstLookDecode(*m_headStart, m_startFile, m_loader->firstLookCoverWidth(),
                              m_loader->firstLookCoverHeight()) ||
        !isFullScreen() || oxFilename(m_startFile).size() > kFirstFrameFileBytes)
        return;
    // The window and the frame's memory are made while the decode runs.
    std::unique_ptr<oxFirstFrameWindow> window = oxFirstFrameWindow::open(display);
    if (!window)
        return;
    oxSoftFrame frame(window->width(), window->height(), oxColour(0, 0, 0));
    // A decode that takes longer anyway must not hold up the GL window:
    // that one then shows the picture first.
    const oxImage* picture = m_headStart->wait(std::chrono::milliseconds(150));
    if (picture && drawFirstFrame(frame, *picture, m_startFile, m_overlayLevel, guiStyle()) &&
        window->show(frame.pixels())) {
        m_firstFrameWindow = std::move(window);
        oxMarkStartup("first frame shown without GL");
    }
}

void PictavoApp::showSheetFirstFrame(_XDisplay* display)
{
    if (!isFolder(m_list.folder()))
        return;
    std::unique_ptr<oxFirstFrameWindow> window = oxFirstFrameWindow::open(display);
    if (!window)
        return;
    // The frame's memory (8 MB at 1920 x 1080) is made while the folder is read.
    std::optional<oxSoftFrame> frame;
    std::thread making([&] {
        const oxColour bg = defaultGuiStyle.bgColour;
        frame.emplace(window->width(), window->height(), oxColour(bg.r, bg.g, bg.b));
    });
    // The folder as the list will read it; one without pictures of its own
    // would ask about its sub-folders first.
    PictureListHooks quiet;
    quiet.message = [](const std::string&, const std::string&, int, int) { return int(MB_NO); };
    PictureList listing(quiet);
    listing.setFolder(m_list.folder());
    const bool listed = listing.loadFolder(0, SUBFOLDERS_NEVER) && listing.count() > 0;
    making.join();
    if (!listed)
        return;
    m_thumbnailDisplay->applyGlobalStyle();
    const std::shared_ptr<const oxThumbnailCache> cache = programThumbnailCache();
    const int edge = m_thumbnailDisplay->metrics().itemSize;
    const std::vector<std::string>& paths = listing.paths();
    // What the cache holds; a cell it lacks is drawn empty and filled in as
    // the head start makes its thumbnail. The loader reads these again:
    // handed over, they all came in while the GL driver set up, which raised
    // the sheet's peak memory by 12 MB.
    const auto cached = [&](int index) -> std::optional<ThumbnailDisplay::FirstFrameThumbnail> {
        std::optional<ThumbnailImage> t = findCachedThumbnail(*cache, paths[size_t(index)], edge);
        if (!t)
            return std::nullopt;
        const oxSize full = t->image->sourceSize();
        return ThumbnailDisplay::FirstFrameThumbnail{std::move(t->image),
                                                     t->sizeKnown ? std::max(full.width, full.height) : 0};
    };
    std::vector<int> missing;
    const bool drawn = m_thumbnailDisplay->drawFirstFrame(*frame, paths, listing.folder(), cached, &missing);
    if (!drawn || !window->show(frame->pixels())) {
        // The first screen's thumbnails are made all the same while the GL
        // driver sets up, not after.
        if (!missing.empty())
            startThumbnailHeadStart(*m_thumbnailHeadStart, firstScreenFiles(missing, paths), edge);
        return;
    }
    m_firstFrameWindow = std::move(window);
    oxMarkStartup("first frame shown without GL");
    if (missing.empty()) {
        oxMarkStartup("visible thumbnails shown without GL");
        return;
    }
    m_sheetFill = std::make_unique<SheetFill>(std::move(*frame), paths, missing);
    startThumbnailHeadStart(*m_thumbnailHeadStart, firstScreenFiles(missing, paths), edge, m_sheetFill->receiver());
}

bool PictavoApp::fillSheetWithoutGL()
{
    const bool shown =
        m_firstFrameWindow && m_sheetFill->present(*m_thumbnailDisplay, *m_firstFrameWindow, nativeHandles().window);
    if (shown && m_sheetFill->complete())
        oxMarkStartup("visible thumbnails shown without GL");
    if (shown && !m_sheetFill->over()) {
        postRedisplayAfter(int(m_sheetFill->timeLeft().count()));
        return true;
    }
    // The loader's workers go on from what the head start made.
    m_sheetFill.reset();
    m_thumbnailHeadStart->release();
    return false;
}

void PictavoApp::onStart()
{
    makeActive(m_imageDisplay.get());
    postRedisplay();
    setSwapInterval(true);

    glClearColor(0, 0, 0, 1);
    setClearMask(GL_COLOR_BUFFER_BIT); // nothing tests depth
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    startLoader();
    loadInterfaceFont();
    m_imageDisplay->applyGlobalStyle();
    m_thumbnailDisplay->applyGlobalStyle();
    oxMarkStartup("fonts and shaders ready");
    // A start in the sheet enters it before the folder is loaded, so the
    // current picture is decoded only when the user switches to it.
    if (m_startInThumbnails || readConfigInt(ConfigKey::LastMode) != 0)
        enterThumbnails();
    loadStartFolder();
    oxMarkStartup("start folder listed");
    if (m_sheetFill) {
        addGUIEventListener(m_sheetFill.get(), true);
        m_sheetFill->setWake([this] { postRedisplayFromAnyThread(); });
    }
}

void PictavoApp::startLoader()
{
    // The loader's context shares the window's objects; the window's
    // context is given up while the loader makes its own, then taken back.
    const oxNativeWindowHandles handles = nativeHandles();
    oxRC::doneCurrent();
    m_loader->setSharedContext(handles.context, 0);
    // A loader that did not start says so at the first picture asked for.
    m_loader->startLoader();
    makeMainWindowCurrent();
}

void PictavoApp::loadStartFolder()
{
    const std::string last = readConfigText(ConfigKey::LastFolder);
    // The last picture is found by its name, else by its position ("LastFile"
    // is a position in the last folder's list, meaningless in another).
    auto startInLastPlace = [&] {
        const bool lastFolder = sameFolder(m_list.folder(), last);
        return startAt(lastFolder ? readConfigText(ConfigKey::LastPath) : std::string(),
                       lastFolder ? readConfigInt(ConfigKey::LastFile) : 0);
    };
    if (m_startFolderGiven) {
        if (m_startFile.empty() ? startInLastPlace() : startAt(m_startFile, 0))
            return;
        // Told; the program goes on where it would have started.
    }
    m_list.setFolder(isFolder(last) ? last : fallbackStartFolder());
    startInLastPlace();
}

bool PictavoApp::startAt(const std::string& file, int index)
{
    // Load without showing, then show the start file: the first picture
    // on screen is the one asked for.
    m_holdShowing = true;
    const bool found = m_list.loadFolder(index, SUBFOLDERS_ASK);
    m_holdShowing = false;
    if (!found)
        return false;
    const std::vector<std::string>& paths = m_list.paths();
    const auto at = file.empty() ? paths.end() : std::find(paths.begin(), paths.end(), file);
    const int shown = at == paths.end() ? m_list.currentIndex() : int(at - paths.begin());
    if (shown != m_list.currentIndex())
        m_list.goTo(shown);
    else
        m_list.showCurrent();
    updateWindowCaption();
    return true;
}

std::string PictavoApp::windowCaptionText() const
{
    const std::string program = oxGetTranslation("Pictavo");
    if (thumbnailsActive()) {
        const oxFilename folder(m_list.folder());
        const std::string name = folder.name().empty() ? folder.systemPath() : folder.name();
        return formatString(oxGetTranslation("%s (%d) - %s"), name.c_str(), m_list.count(), program.c_str());
    }
    const std::string path = m_list.currentPath();
    if (path.empty())
        return program;
    return formatString(oxGetTranslation("%s (%d/%d) - %s"), oxFilename(path).name().c_str(), m_list.currentIndex() + 1,
                        m_list.count(), program.c_str());
}

void PictavoApp::updateWindowCaption()
{
    setWindowCaption(windowCaptionText());
}

void PictavoApp::render()
{
    const oxColour bg = defaultGuiStyle.bgColour;
    const float colour[4] = {bg.r / 255.0f, bg.g / 255.0f, bg.b / 255.0f, 1.0f};
    float cleared[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, cleared);
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    // A new background (the settings dialog) shows in this frame already,
    // not only once something else asks for a redraw; nothing is drawn yet.
    if (!std::equal(colour, colour + 4, cleared))
        glClear(GL_COLOR_BUFFER_BIT);
    if (m_activeView)
        m_activeView->drawView(m_overlayLevel);
}

void PictavoApp::display(bool flushOnly)
{
    if (m_sheetFill && !flushOnly && fillSheetWithoutGL())
        return;
    // What the single view put into the back buffer holds for the next frame
    // only, and only if that frame is the single view's.
    if (m_imageDisplay)
        m_imageDisplay->setBackBufferHoldsCopy(std::exchange(m_backBufferPrimed, false) && pictureViewActive());
    // While the first picture is still coming the frame is drawn (the
    // renderer prepares what the picture's frame needs meanwhile) but not
    // shown: the screen goes from the desktop straight to the picture, not
    // through an empty window. The loading hint, when due, is shown.
    if (pictureViewActive())
        m_imageDisplay->pickUpPicture(); // a picture ready now is in this frame
    const bool nothingYet = pictureViewActive() && !m_imageDisplay->hasPicture() &&
                            m_imageDisplay->isWaiting() && !m_imageDisplay->loadingHintShown();
    // A sheet opens filled: its first frame is shown once every cell on
    // screen has its thumbnail, or after a short wait for slow ones. Thumbnails
    // from the cache come within that; empty cells filling in would be a
    // screen more, and each frame costs a software renderer dearly. The first
    // frame is drawn at once all the same (the renderer prepares itself, the
    // loader learns which cells are on screen); then no frame is drawn until
    // it can show them all.
    const bool sheetFirst = !flushOnly && !nothingYet && !m_firstFrameShown && thumbnailsActive();
    std::chrono::steady_clock::duration waited{};
    // Behind a first frame drawn without GL the user already sees the sheet
    // complete: a GL frame with cells still empty would take them away again.
    // Once the user has moved the sheet the screen follows at the usual pace.
    const auto sheetWait = [this] {
        return m_firstFrameWindow && m_thumbnailDisplay->visibleRange() == m_sheetFirstCells
                   ? SHEET_BEHIND_FIRST_FRAME_WAIT
                   : SHEET_FIRST_FRAME_WAIT;
    };
    bool firstSheetDraw = false;
    if (sheetFirst) {
        const auto now = std::chrono::steady_clock::now();
        firstSheetDraw = !m_sheetDrawnSince.has_value();
        if (firstSheetDraw)
            m_sheetDrawnSince = now;
        waited = now - *m_sheetDrawnSince;
        if (!firstSheetDraw && waited < sheetWait() && !m_thumbnailDisplay->visibleCellsReady()) {
            postRedisplayAfter(millisecondsLeft(sheetWait() - waited));
            return;
        }
    }
    oxGLUTApplication::display(flushOnly || nothingYet || sheetFirst);
    if (!flushOnly && !nothingYet && !sheetFirst && pictureViewActive())
        m_backBufferPrimed = m_imageDisplay->primeBackBuffer();
    if (sheetFirst) {
        if (firstSheetDraw)
            m_sheetFirstCells = m_thumbnailDisplay->visibleRange();
        if (!m_thumbnailDisplay->visibleCellsComplete() && waited < sheetWait()) {
            postRedisplayAfter(millisecondsLeft(sheetWait() - waited));
            return;
        }
        swapBuffers();
    }
    if (!flushOnly && !nothingYet && !m_firstFrameShown) {
        m_firstFrameShown = true;
        m_firstFrameWindow.reset();
        m_loader->holdReadAhead(false);
        oxMarkStartup("first frame swapped");
    }
    if (!flushOnly && oxStartupTraced() && thumbnailsActive() && m_thumbnailDisplay->visibleCellsComplete())
        oxMarkStartup("visible thumbnails swapped");
    if (!oxStartupTraced() || !m_imageDisplay || m_activeView != m_imageDisplay.get() || !m_imageDisplay->hasPicture() ||
        m_imageDisplay->isWaiting())
        return;
    oxMarkStartup("first picture swapped");
    LoadedPicture* shown = m_imageDisplay->currentPicture();
    oxLock lock(shown->lock);
    if (!shown->firstLook)
        oxMarkStartup("full picture swapped");
}

bool PictavoApp::frameCoversWindow()
{
    return pictureViewActive() && m_imageDisplay->nextFrameStartsFromCopy();
}

void PictavoApp::onReshape(int, int)
{
    // Runs before the transform's own reshape, which keeps any other zoom.
    if (m_transform && m_transform->view() && m_transform->zoom() == m_transform->fitZoom()) {
        // A sheet shown from its top stays there (the window going
        // full-screen just after the start, for one).
        const bool sheetAtTop = thumbnailsActive() && m_transform->offsetY() <= m_transform->minimumOffsetY();
        m_transform->refit();
        if (sheetAtTop)
            showSheetTop();
    }
}

void PictavoApp::destroyViews()
{
    if (m_transform)
        m_transform->setView(nullptr);
    makeActive(nullptr);
    m_thumbnailDisplay.reset();
    m_imageDisplay.reset();
}

void PictavoApp::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    writeConfigInt(ConfigKey::LastMode, thumbnailsActive() ? 1 : 0);
    writeConfigInt(ConfigKey::LastOverlays, m_overlayLevel);
    if (m_imageDisplay)
        m_imageDisplay->shutDown();
    if (m_thumbnailDisplay)
        m_thumbnailDisplay->saveSettings();
    // The views' textures, shaders and fonts go while the window's context
    // still exists, as do the loader's in its own.
    destroyViews();
    m_loader->shutdownLoader();
    // File operations finished during the stop still reach the user.
    showReportedFailures();
    GLFontManager::releaseAll();
    writeConfigInt(ConfigKey::LastFile, m_list.currentIndex());
    writeConfigText(ConfigKey::LastPath, m_list.currentPath());
    leaveMainLoop();
}

void PictavoApp::onClose()
{
    shutDown();
}
