// A test application for the single-picture view on a real window: it owns
// a picture list, the background loader and the viewing transform as the
// program's application object will, runs a script on the main thread once
// the window exists, and reads frames back before they are swapped.
#pragma once

#include "app/loader/bgtexloader.h"
#include "app/shell/loaderwiring.h"
#include "app/views/fototransform.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/viewapplication.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/image/handler.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/loopapp.h"
#include "support/testsupport.h"
#include "tests/app/apptest.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

inline AppTestHome g_viewTestHome("app_view_gltest");

struct Frame {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // rows top first
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
    int r(int x, int y) const { return at(x, y)[0]; }
    int g(int x, int y) const { return at(x, y)[1]; }
    int b(int x, int y) const { return at(x, y)[2]; }
    // Within tolerance of c in red, green and blue.
    bool near(int x, int y, oxColour c, int tolerance = 12) const
    {
        return std::abs(r(x, y) - c.r) <= tolerance && std::abs(g(x, y) - c.g) <= tolerance &&
               std::abs(b(x, y) - c.b) <= tolerance;
    }
    std::string text(int x, int y) const
    {
        return "(" + std::to_string(r(x, y)) + "," + std::to_string(g(x, y)) + "," + std::to_string(b(x, y)) + ")";
    }
    struct Expected {
        int x, y;
        oxColour colour;
    };
    void expectColours(std::initializer_list<Expected> points, int tolerance) const
    {
        for (const Expected& p : points)
            EXPECT_TRUE(near(p.x, p.y, p.colour, tolerance)) << p.x << "," << p.y << " " << text(p.x, p.y);
    }
};

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
        // The view asks without waiting; the scripts want the picture there.
        for (int i = 0; i < 20000 && view->isWaiting(); ++i)
            if (!view->pickUpPicture())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
        transform = new FotoTransform(view.get(), this);
        setViewingTransform(transform, true);
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
    Frame frame()
    {
        display(true);
        return readBack();
    }
    Frame readBack()
    {
        Frame f;
        f.width = width(), f.height = height();
        std::vector<uint8_t> raw(size_t(f.width) * f.height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, f.width, f.height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
        f.rgba.resize(raw.size());
        for (int row = 0; row < f.height; ++row)
            std::copy_n(raw.begin() + size_t(f.height - 1 - row) * f.width * 4, size_t(f.width) * 4,
                        f.rgba.begin() + size_t(row) * f.width * 4);
        return f;
    }
    void save(const Frame& f, const std::string& name)
    {
        writePngRGBA(artifactDir() + "/" + name + ".png", f.rgba.data(), f.width, f.height);
    }
    // Waits until the loader has nothing queued.
    bool loaderIdle()
    {
        for (int i = 0; i < 20000; ++i) {
            if (loader->progress() == LoaderProgress{} && loader->queuedCommands().empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    int runOnce() { return runFor(std::chrono::seconds(120)); }
};
