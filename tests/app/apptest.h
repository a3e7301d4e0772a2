// Shared by the viewer's test programs: a settings store of their own, pictures written for a test.
#pragma once

#include "app/loader/loadercontext.h"

#include "oxengine/image/handler.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/testsupport.h"
#include "support/xdriver.h"

#include <cstdlib>
#include <functional>

// A loader context that makes itself current, or fails to.
struct FakeContext : LoaderContext {
    explicit FakeContext(bool works) : works(works) {}
    bool makeCurrent() override { return current = works; }
    bool isCurrent() const override { return current; }
    void finish() override {}
    bool works, current = false;
};

// A fresh, empty settings store for as long as it lives (one per test).
struct TestSettings {
    TestSettings()
    {
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        oxConfig::initialize("Quorvel Software", "Pictavo");
        if (!oxFilename::isInitialized())
            oxFilename::initialize();
    }
    TempDir dir;
};

// A temporary HOME with a settings store for a whole test program (an inline variable of its header).
struct AppTestHome {
    AppTestHome()
    {
        if (!oxFilename::isInitialized())
            oxFilename::initialize();
        oxConfig::initialize("Quorvel Software", "Pictavo");
    }
    TempHome home;
};

// An 8-bit picture of pixel(x, y) in the path's format; returns the path.
inline std::string writePicture(const std::string& path, uint32_t w, uint32_t h,
                                const std::function<oxColour(uint32_t x, uint32_t y)>& pixel)
{
    oxImageRegistry::instance().saveImage(*imageOf<oxColour>(w, h, pixel), path, oxToneMapping::neutral());
    return path;
}

// Takes the picture the view asked for (it asks without waiting) once the loader has it, within 20 s.
template <class View> bool pickedUp(View& view) // an ImageDisplay
{
    return waitUntil([&] { return !view.isWaiting() || view.pickUpPicture(); });
}
