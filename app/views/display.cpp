#include "app/views/display.h"

#include "app/views/exposureshader.h"
#include "app/views/viewapplication.h"

#include "oxengine/platform/glapp.h"

Display::Display(ViewApplication* app)
    : m_app(app), m_exposureShader(app ? app->exposureShader() : std::make_shared<ExposureShader>())
{
}

Display::~Display()
{
    if (m_app)
        m_app->viewDestroyed(this);
}

void Display::applyGlobalStyle()
{
    applyStyle(m_app ? m_app->guiStyle() : defaultGuiStyle);
}

oxApplication* Display::framework() const
{
    return m_app ? m_app->framework() : theApplication;
}

oxGuiSize Display::windowSize() const
{
    const oxApplication* app = framework();
    return app ? oxGuiSize{app->width(), app->height()} : oxGuiSize{};
}

void Display::requestRedraw() const
{
    if (oxApplication* app = framework())
        app->postRedisplay();
}
