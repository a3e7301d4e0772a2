#include "app/loader/loadercontext.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/graphics/texsupport.h"
#include "oxengine/platform/rc.h"

#include <GL/gl.h>

namespace {

class GLLoaderContext final : public LoaderContext {
public:
    GLLoaderContext(int pixelFormat, void* sharedContext)
        : m_window(oxGetTranslation("Dummy Texture Loader Window"))
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
        if (!m_rc->isCurrent())
            return;
        // A renderer on the processor has copied the textures by the time
        // the upload returns, so a flush hands them over; a finish would
        // wait for it to rasterise the window's frame (a whole sheet, a
        // tenth of a second) before the next thumbnail could be uploaded.
        if (textureCapabilities().softwareRenderer)
            glFlush();
        else
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
