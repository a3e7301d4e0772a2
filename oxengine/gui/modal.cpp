#include "oxengine/gui/modal.h"

#include "oxengine/gui/draw.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/sound.h"

#include <algorithm>

namespace {

constexpr int KEY_TAB = 9;

// Panels that take all input are read, not seen through: whatever the
// style's alpha, their fill and frame cover at least this much.
constexpr uint8_t MIN_FILL_ALPHA = 240;

// Ends the run's bookkeeping however the loop is left (a handler may throw).
struct RunningFlag {
    bool& flag;
    explicit RunningFlag(bool& f) : flag(f) { flag = true; }
    ~RunningFlag() { flag = false; }
};

} // namespace

// ---- oxGuiModalPanel ---------------------------------------------------------------

bool oxGuiModalPanel::onCommand(unsigned)
{
    return false;
}

int oxGuiModalPanel::runModal()
{
    m_result = 0;
    oxGLUTApplication* app = theApplication;
    // Without the framework nothing could ever end the run.
    if (!app || app->isLeaving())
        return 0;
    RunningFlag running(m_running);
    {
        oxGuiModalHelper helper(*this);
        app->addGUIEventListener(&helper, true);
        app->addRenderListener(&helper);
        requestRedisplay();
        while (m_result == 0 && !app->isLeaving()) {
            app->processPendingEvents();
            if (m_result != 0 || app->isLeaving())
                break;
            // Dialogs hear about their own widgets through commands, so
            // those are delivered while the idle listeners rest.
            app->deliverNextCommand();
            if (m_result != 0)
                break;
            // Without a window no event can come: a run with nothing left to
            // do would never end.
            if (!app->isRunning() && app->pendingCommands() == 0)
                break;
            app->waitForEvents(true);
        }
    }
    // The next frame is drawn without the panel.
    requestRedisplay();
    return std::max(m_result, 0);
}

bool oxGuiModalPanel::onClick(int button, int x, int y)
{
    if (m_content && m_content->onClick(button, x, y))
        return true;
    if (!hits(x, y))
        beep(2);
    return true;
}

bool oxGuiModalPanel::onMouseWheel(int direction, int x, int y)
{
    if (m_content && m_content->onMouseWheel(direction, x, y))
        return true;
    if (!hits(x, y))
        beep(2);
    return true;
}

bool oxGuiModalPanel::onKeyDown(int key, bool special)
{
    if (m_content && m_content->onKeyDown(key, special))
        return true;
    if (key == KEY_TAB && !special)
        focusNext(*this, (oxGuiKeyModifiers() & KM_SHIFT) == 0);
    return true;
}

bool oxGuiModalPanel::onKeyUp(int key, bool special)
{
    if (m_content)
        m_content->onKeyUp(key, special);
    return true;
}

void oxGuiModalPanel::setPadding(int padding)
{
    padding = std::max(0, padding);
    const int d = padding - m_padding;
    m_margins = {m_margins.left + d, m_margins.top + d, m_margins.right + d, m_margins.bottom + d};
    m_padding = padding;
}

oxColour oxGuiModalPanel::fillColour() const
{
    oxColour c = m_bgColour;
    c.a = std::max(c.a, MIN_FILL_ALPHA);
    return c;
}

void oxGuiModalPanel::draw()
{
    drawPanel(fillColour());
    if (!isVisible())
        return;
    // The frame over the margins, the padding inside it left to the fill.
    const int p = m_padding;
    const oxGuiMargins m{m_margins.left - p, m_margins.top - p, m_margins.right - p, m_margins.bottom - p};
    const int w = m_size.width, h = m_size.height;
    // The content's text output may have left texturing on.
    prepare2D();
    oxColour frame = m_bgColour.blend(m_fgColour, 0.3f);
    frame.a = std::max(frame.a, MIN_FILL_ALPHA);
    setColour(frame);
    auto strip = [&](int x, int y, int sw, int sh) {
        if (sw > 0 && sh > 0)
            fillRect(toWindowPoint(*this, {m_position.x + x, m_position.y + y}), toWindowSize(*this, {sw, sh}));
    };
    strip(0, 0, w, m.top);
    strip(0, m.top, m.left, h - m.top);
    strip(w - m.right, m.top, m.right, h - m.top);
    strip(m.left, h - m.bottom, w - m.left - m.right, m.bottom);
}

// ---- oxGuiModalHelper -------------------------------------------------------------

oxGuiModalHelper::~oxGuiModalHelper()
{
    if (oxApplication* app = oxGUIEventListener::owner())
        app->removeGUIEventListener(this);
    if (oxApplication* app = oxRenderListener::owner())
        app->removeRenderListener(this);
    // Out of the way first, so the kept commands reach whoever is next.
    if (theApplication)
        for (unsigned c : m_kept)
            theApplication->postCommand(c);
}

bool oxGuiModalHelper::onMouseButton(int button, bool pressed, int x, int y)
{
    const bool handled = dispatchMouseButton(m_panel, button, pressed, x, y, this);
    // A press must not start anything behind the panel (a pan of the
    // picture, a drag in the view); a release goes on, so that whatever
    // was pressed before the run began can finish.
    return handled || pressed;
}

bool oxGuiModalHelper::onClick(int button, int x, int y)
{
    m_panel.onClick(button, x, y);
    return true;
}

void oxGuiModalHelper::onDrag(int dx, int dy)
{
    dispatchDrag(dx, dy, this);
}

void oxGuiModalHelper::onMouseMove(int button, int x, int y)
{
    m_panel.onMouseMove(button, x, y);
}

bool oxGuiModalHelper::onMouseWheel(int direction, int x, int y)
{
    m_panel.onMouseWheel(direction, x, y);
    return true;
}

bool oxGuiModalHelper::onCommand(unsigned command)
{
    // A panel whose run is ending handles nothing more.
    if (m_panel.result() == 0 && m_panel.onCommand(command))
        return true;
    m_kept.push_back(command);
    return true;
}

bool oxGuiModalHelper::onKeyDown(int key, bool special)
{
    oxGuiElement* focus = focusedElement();
    if (focus && m_panel.contains(focus) && dispatchKeyToFocus(key, special))
        return true;
    m_panel.onKeyDown(key, special);
    return true;
}

bool oxGuiModalHelper::onKeyUp(int key, bool special)
{
    m_panel.onKeyUp(key, special);
    return true;
}

void oxGuiModalHelper::onReshape(int, int)
{
    m_panel.onWindowResized();
}

void oxGuiModalHelper::postRender()
{
    m_panel.render();
}
