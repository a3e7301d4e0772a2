// The GL context the background loader makes its textures in: on its own
// hidden window, sharing objects with the main window's context. Behind an
// interface so the loader's queue logic can run without a display.
#pragma once

#include <functional>
#include <memory>

class LoaderContext {
public:
    virtual ~LoaderContext() = default;
    virtual bool makeCurrent() = 0;
    virtual bool isCurrent() const = 0;
    // Called after textures were made, before the main thread may draw them:
    // another context sees them only once the commands reached the driver.
    virtual void finish() = 0;
};

// Made on the loader thread with the pixel format (0: the window's own) and
// the context to share with (a GLXContext, or null).
using LoaderContextFactory = std::function<std::unique_ptr<LoaderContext>(int pixelFormat, void* sharedContext)>;

// The real one: an unshown "Dummy Texture Loader Window" with an oxRC.
std::unique_ptr<LoaderContext> makeGLLoaderContext(int pixelFormat, void* sharedContext);
