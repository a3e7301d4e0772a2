// The transform the application applies before each frame is drawn. It is also
// a GUI event listener, so it can zoom and scroll on input; the picture views
// derive the real one from this base.
#pragma once

#include "oxengine/platform/glapp.h"

class oxViewingTransform : public oxGUIEventListener {
public:
    // Multiplies the model-view matrix with the transform (main thread, GL current).
    virtual void apply() = 0;
    virtual void setEnabled(bool enabled) = 0;
};
