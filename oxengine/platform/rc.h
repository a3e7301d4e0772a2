// Off-screen windows and OpenGL rendering contexts on GLX, for threads that
// make GL objects (textures) which the main window's context then draws.
#pragma once

#include <memory>
#include <string>

// XInitThreads, once per process. Must run before the process's first Xlib
// call (the framework calls it before glutInit); later calls do nothing.
void oxInitXThreads();

// Before the first GL context and before any other thread: Mesa's software
// renderers (llvmpipe) then interpret vertex programs instead of compiling
// each one to machine code on first use. Our frames have a few thousand
// vertices at most, so compiling costs far more than it saves: about a
// third of the processor time before a software-rendered first frame.
// Hardware drivers do their vertex work on the GPU and ignore it; a value
// the user set stays.
void oxPreferInterpretedVertexPrograms();

// A native window that exists to own a GL drawing surface: 640 x 480, never
// shown. It is made on the main window's X connection when one is recorded
// (oxengine/mainwindow.h), else on a connection of its own. When anything
// fails the window has no native handles.
class oxWindow {
public:
    explicit oxWindow(const std::string& title = std::string());
    virtual ~oxWindow();
    oxWindow(const oxWindow&) = delete;
    oxWindow& operator=(const oxWindow&) = delete;

    unsigned long nativeWindow() const;  // X Window, 0 when creation failed
    unsigned long deviceContext() const; // the GLXWindow drawn to, 0 when failed
    void* display() const;               // Display*
    void* fbConfig() const;              // GLXFBConfig of the drawable

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// A rendering context for an oxWindow (which must outlive it), optionally
// sharing textures and display lists with another context. Failures are
// reported through oxVerify and leave the object without a context, so that
// makeCurrent returns false.
class oxRC {
public:
    // pixelFormat 0 takes the window's own format; otherwise the GLXFBConfig
    // with that GLX_FBCONFIG_ID when it fits the window (a differing one falls
    // back to the window's, which shares objects just as well).
    // sharedContext: a GLXContext, or null.
    explicit oxRC(const oxWindow& window, int pixelFormat = 0, void* sharedContext = nullptr);
    virtual ~oxRC();
    oxRC(const oxRC&) = delete;
    oxRC& operator=(const oxRC&) = delete;

    bool makeCurrent();
    bool isCurrent() const;
    // The calling thread has no current context afterwards.
    static void doneCurrent();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Makes the main window's context current on the calling thread again.
bool makeMainWindowCurrent();
