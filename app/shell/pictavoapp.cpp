#include "app/shell/pictavoapp.h"

#include "app/shell/appmessages.h"
#include "app/shell/configkeys.h"
#include "app/shell/startup.h"
#include "app/views/fototransform.h"

#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/platform/x11util.h"
#include "oxengine/core/catalogue.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/folderdialog.h"
#include "oxengine/gui/style.h"
#include "oxengine/platform/rc.h"
#include "oxengine/platform/x11util.h"
#include "oxengine/storage/files.h"

#include <GL/gl.h>

#include <algorithm>

void initialWindowSize(int screenWidth, int screenHeight, int& width, int& height)
{
    // A tiny screen still gets a usable window.
    width = std::max(64, std::min(screenWidth - 50, 1024));
    height = std::max(64, std::min(screenHeight - 50, 768));
}

PictavoApp::PictavoApp(LoaderServices loaderServices) : m_list(listHooks())
{
    LoaderServices services = programLoaderServices(std::move(loaderServices));
    if (!services.reportFailures)
        services.reportFailures = [this](const std::vector<FileOperationFailure>& failures) {
            m_failures.add(fileOperationFailureText(failures));
            postCommand(CMD_SHOW_FAILURES);
        };
    m_loader = std::make_unique<BGTextureLoader>(m_list.paths(), std::move(services));
    m_imageDisplay = std::make_unique<ImageDisplay>(this, *m_loader);

    int screenWidth = 1074, screenHeight = 818;
    oxPrimaryScreenSize(screenWidth, screenHeight);
    int width = 0, height = 0;
    initialWindowSize(screenWidth, screenHeight, width, height);
    setInitialWindowSize(width, height);
    // The window becomes full-screen: a first look covering the screen is
    // as sharp as the full picture at fit zoom.
    m_loader->setFirstLookCover(screenWidth, screenHeight);
    setTitle(oxGetTranslation("Pictavo"));
    setDisplayMode("rgba double depth");
    setFullScreen(true);

    m_transform = new FotoTransform(m_imageDisplay.get(), this);
    setViewingTransform(m_transform, true);

    m_list.setFolder(readConfigText(ConfigKey::LastFolder));
    m_overlayLevel = readConfigInt(ConfigKey::LastOverlays);
}

PictavoApp::~PictavoApp()
{
    destroyViews();
    // The transform goes while everything it may point at still exists.
    setViewingTransform(nullptr, true);
    m_transform = nullptr;
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
        // A picture still being prepared is fitted when it comes; the one
        // on screen meanwhile stays as the user left it.
        if (m_transform && !(m_imageDisplay && m_imageDisplay->isWaiting()))
            m_transform->refit();
        postRedisplay();
    };
    hooks.showNothing = [this] {
        if (m_imageDisplay)
            m_imageDisplay->showNothing();
        if (m_transform)
            m_transform->refit();
        postRedisplay();
    };
    hooks.thumbnailsActive = [this] { return thumbnailsActive(); };
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
    return m_loader->setLogging(on);
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

void PictavoApp::onStart()
{
    makeActive(m_imageDisplay.get());
    postRedisplay();
    setSwapInterval(true);

    glClearColor(0, 0, 0, 1);
    setClearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    // Pictures are converted to the display's colours as they are decoded.
    oxSetDisplayProfile(oxDisplayIccProfile(static_cast<_XDisplay*>(nativeHandles().display)));
    startLoader();
    loadInterfaceFont();
    m_imageDisplay->applyGlobalStyle();
    loadStartFolder();
    if (readConfigInt(ConfigKey::LastMode) != 0)
        toggleView();
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
    if (m_startFile.empty()) {
        // "LastFile" is a position in the last folder's list: meaningless in
        // another folder given on the command line.
        const bool sameFolder = !m_startFolderGiven ||
                                oxFilename(m_list.folder()).toString() ==
                                    oxFilename(readConfigText(ConfigKey::LastFolder)).toString();
        m_list.loadFolder(sameFolder ? readConfigInt(ConfigKey::LastFile) : 0, SUBFOLDERS_ASK);
        return;
    }
    // Load without showing, then show the start file: the first picture
    // on screen is the one asked for.
    m_holdShowing = true;
    m_list.loadFolder(0, SUBFOLDERS_ASK);
    m_holdShowing = false;
    const std::vector<std::string>& paths = m_list.paths();
    const auto found = std::find(paths.begin(), paths.end(), m_startFile);
    const int index = found == paths.end() ? m_list.currentIndex() : int(found - paths.begin());
    if (index != m_list.currentIndex())
        m_list.goTo(index);
    else
        m_list.showCurrent();
}

void PictavoApp::render()
{
    const oxColour bg = defaultGuiStyle.bgColour;
    glClearColor(bg.r / 255.0f, bg.g / 255.0f, bg.b / 255.0f, 1.0f);
    if (m_activeView)
        m_activeView->drawView(m_overlayLevel);
}

void PictavoApp::onReshape(int, int)
{
    // Runs before the transform's own reshape, which keeps any other zoom.
    if (m_transform && m_transform->view() && m_transform->zoom() == m_transform->fitZoom())
        m_transform->refit();
}

void PictavoApp::destroyViews()
{
    if (m_transform)
        m_transform->setView(nullptr);
    makeActive(nullptr);
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
    // The views' textures, shaders and fonts go while the window's context
    // still exists, as do the loader's in its own.
    destroyViews();
    m_loader->shutdownLoader();
    // File operations finished during the stop still reach the user.
    showReportedFailures();
    GLFontManager::releaseAll();
    writeConfigInt(ConfigKey::LastFile, m_list.currentIndex());
    leaveMainLoop();
}

void PictavoApp::onClose()
{
    shutDown();
}
