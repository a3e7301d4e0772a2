#include "app/loader/loadercontext.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/platform/rc.h"

#include <GL/gl.h>

namespace {

class GLLoaderContext final : public LoaderContext {
public:
    GLLoaderContext(int pixelFormat, void* sharedContext)
        : m_window(oxGetTranslation("Dummy Texture Loader Window"), 0, -1, -1, -1, -1)
    {
        // No context may be current on this thread while the new one joins
        // the shared object space.
        oxRC::doneCurrent();
        m_rc = std::make_unique<oxRC>(m_window, pixelFormat, sharedContext);
    }
    ~GLLoaderContext() override
    {
        m_rc.reset(); // before the window it draws to
    }
    bool makeCurrent() override { return m_rc->makeCurrent(); }
    bool isCurrent() const override { return m_rc->isCurrent(); }
    void finish() override
    {
        if (m_rc->isCurrent())
            glFinish();
    }

private:
    oxWindow m_window;
    std::unique_ptr<oxRC> m_rc;
};

} // namespace

std::unique_ptr<LoaderContext> makeGLLoaderContext(int pixelFormat, void* sharedContext)
{
    return std::make_unique<GLLoaderContext>(pixelFormat, sharedContext);
}
