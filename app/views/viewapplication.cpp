#include "app/views/viewapplication.h"

#include "app/views/exposureshader.h"
#include "app/views/fototransform.h"

#include "oxengine/platform/glapp.h"

oxApplication* ViewApplication::framework()
{
    return theApplication;
}

void ViewApplication::showOriginalSize()
{
    if (FotoTransform* t = fotoTransform())
        t->zoomTo(1.0, true, 0.5, 0.5);
}

std::shared_ptr<ExposureShader> ViewApplication::exposureShader()
{
    std::shared_ptr<ExposureShader> shader = m_exposureShader.lock();
    if (!shader) {
        shader = std::make_shared<ExposureShader>();
        m_exposureShader = shader;
    }
    return shader;
}
