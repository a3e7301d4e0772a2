// Modal panels: while one runs it receives all input of the application, is
// drawn over everything else, and the call that runs it returns the code
// that ended it. Runs nest: a panel opened from a running one takes over
// until it ends.
#pragma once

#include "oxengine/gui/panel.h"
#include "oxengine/platform/glapp.h"

#include <vector>

class oxGuiModalPanel : public oxGuiPanel {
public:
    oxGuiModalPanel() = default;
    explicit oxGuiModalPanel(std::unique_ptr<oxGuiElement> content) : oxGuiPanel(std::move(content)) {}

    // A command delivered while the panel runs. Not handled by default:
    // the run keeps such commands and posts them again when it ends, so a
    // command meant for the application (a rescan after background work)
    // is not lost to a dialog that happened to be open.
    virtual bool onCommand(unsigned command);

    // Runs until a result other than 0 is set; returns it, or 0 for a
    // negative one. Returns 0 at once without a running application's
    // framework, and when the application is shutting down.
    int runModal();
    void setResult(int result) { m_result = result; }
    int result() const { return m_result; }
    bool isRunning() const { return m_running; }

    // Swallowed when the point is on the panel; a warning sound outside.
    bool onClick(int button, int x, int y) override;
    bool onMouseWheel(int direction, int x, int y) override;
    // Always handled; Tab moves the focus when nothing inside uses it.
    bool onKeyDown(int key, bool special) override;
    bool onKeyUp(int key, bool special) override;
    // The fill made opaque enough that nothing behind competes with the
    // panel's text, and a frame over the margins (less the padding).
    void draw() override;

    // The window changed its size while the panel runs (a window becoming
    // full-screen after a dialog opened). Nothing by default.
    virtual void onWindowResized() {}

    // Room between the frame and the content, added to every margin.
    void setPadding(int padding);
    int padding() const { return m_padding; }
    // The background colour as the panel fills with it.
    oxColour fillColour() const;

private:
    int m_padding = 0;
    int m_result = 0;
    bool m_running = false;
};

// The listener through which a running modal panel captures input and
// drawing. Lives exactly as long as the run; commands the panel does not
// handle are kept and posted again when it goes.
class oxGuiModalHelper : public oxGUIEventListener, public oxRenderListener {
public:
    explicit oxGuiModalHelper(oxGuiModalPanel& panel) : m_panel(panel) {}
    ~oxGuiModalHelper() override;
    oxGuiModalHelper(const oxGuiModalHelper&) = delete;
    oxGuiModalHelper& operator=(const oxGuiModalHelper&) = delete;

    bool onMouseButton(int button, bool pressed, int x, int y) override;
    bool onClick(int button, int x, int y) override;
    void onDrag(int dx, int dy) override;
    void onMouseMove(int button, int x, int y) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool onCommand(unsigned command) override;
    bool onKeyDown(int key, bool special) override;
    bool onKeyUp(int key, bool special) override;
    void onReshape(int width, int height) override;
    void postRender() override;

    const std::vector<unsigned>& keptCommands() const { return m_kept; }

private:
    oxGuiModalPanel& m_panel;
    std::vector<unsigned> m_kept;
};
