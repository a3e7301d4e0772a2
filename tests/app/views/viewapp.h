// The single-picture view on a real window, owning loader and transform as the program does; the script
// runs on the main thread once the window exists.
#pragma once

#include "app/loader/bgtexloader.h"
#include "app/shell/loaderwiring.h"
#include "app/views/fototransform.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/viewapplication.h"

#include "oxengine/graphics/fontmanager.h"
#include "support/gltest.h"
#include "support/loopapp.h"
#include "tests/app/apptest.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

inline AppTestHome g_viewTestHome;

class ViewTestApp : public LoopApp, public ViewApplication {
public:
    explicit ViewTestApp(std::vector<std::string> files, int width = 640, int height = 480) : paths(std::move(files))
    {
        setInitialWindowSize(width, height);
        setDisplayMode("rgba double depth");
    }
    ~ViewTestApp() override
    {
        // The view gives its pictures back before the loader goes.
        view.reset();
        loader.reset();
    }

    std::vector<std::string> paths;
    std::unique_ptr<BGTextureLoader> loader;
    std::unique_ptr<ImageDisplay> view;
    FotoTransform* transform = nullptr;
    int infoLevel = 0;
    int current = 0;
    std::function<void(ViewTestApp&)> script;
    bool keepRunning = false; // the script leaves the loop running

    oxApplication* framework() override { return this; }
    FotoTransform* fotoTransform() override { return transform; }
    void stepPicture(int delta) override { show(current + delta); }

    void show(int index)
    {
        current = std::clamp(index, 0, int(paths.size()) - 1);
        view->showPicture(paths[size_t(current)]);
        pickedUp(*view); // the scripts want the picture there
        transform->refit();
    }

    void onStart() override
    {
        // The first reshape may come after the script has run.
        glViewport(0, 0, width(), height());
        updateProjection();
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        LoaderServices services;
        services.postCommand = [this](unsigned c) { postCommand(c); };
        services.requestRedisplay = [this] { postRedisplayFromAnyThread(); };
        loader = std::make_unique<BGTextureLoader>(paths, programLoaderServices(services));
        loader->setSharedContext(nativeHandles().context, 0);
        loader->startLoader();
        view = std::make_unique<ImageDisplay>(this, *loader);
        auto owned = std::make_unique<FotoTransform>(view.get(), this);
        transform = owned.get();
        setViewingTransform(std::move(owned));
        addGUIEventListener(view.get(), true);
        view->applyGlobalStyle();
        const oxColour bg = guiStyle().bgColour;
        glClearColor(bg.r / 255.0f, bg.g / 255.0f, bg.b / 255.0f, 1.0f);
        if (!paths.empty())
            show(0);
        if (script)
            script(*this);
        LoopApp::onStart(); // the driver thread of runFor
        if (!keepRunning)
            finish();
    }
    bool onCommand(unsigned c) override
    {
        if (c == CMD_QUIT)
            return finish(), true;
        return LoopApp::onCommand(c);
    }
    // Everything with GL objects goes while the window's context exists.
    void finish()
    {
        if (transform)
            transform->setView(nullptr);
        view.reset();
        if (loader)
            loader->shutdownLoader();
        GLFontManager::releaseAll();
        leaveMainLoop();
    }
    void render() override
    {
        LoopApp::render();
        view->drawView(infoLevel);
    }

    // Draws one frame into the back buffer and reads it, without a swap.
    GLFrame frame()
    {
        display(true);
        return readBack();
    }
    GLFrame readBack() { return GLFrame(width(), height(), height()); }
    // Waits until the loader has nothing queued.
    bool loaderIdle()
    {
        return waitUntil([&] { return loader->progress() == LoaderProgress{} && loader->queuedCommands().empty(); });
    }
};

// Runs the script on a window showing the pictures.
inline void runView(const std::vector<std::string>& files, const std::function<void(ViewTestApp&)>& script)
{
    ViewTestApp app(files);
    bool ran = false;
    app.script = [&](ViewTestApp& a) { ran = true, script(a); };
    EXPECT_EQ(app.runFor(std::chrono::seconds(120)), 0);
    EXPECT_TRUE(ran);
}
