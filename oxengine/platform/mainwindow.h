// The GLX handles of the program's main window, recorded by the framework
// once the window exists, so that shared contexts and makeMainWindowCurrent
// can find them without depending on the framework itself.
#pragma once

struct oxMainWindowContext {
    void* display = nullptr;    // Display*
    unsigned long drawable = 0; // GLXDrawable / Window
    void* context = nullptr;    // GLXContext
};

void oxSetMainWindowContext(const oxMainWindowContext& handles);
// All null/0 while no window exists.
oxMainWindowContext oxGetMainWindowContext();
