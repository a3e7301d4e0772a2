// The base of every dialog: a modal panel with a title bar by which the
// user drags it around the window, and the building blocks the dialogs
// share (a centred row of buttons, the finishing layout, the run with its
// sound).
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/modal.h"

#include <string>
#include <utility>
#include <vector>

class oxGuiContainer;
class oxGuiModalButton;

// Dialog results: the codes of the standard buttons.
enum : int { GUI_RESULT_OK = 1, GUI_RESULT_YES = 2, GUI_RESULT_NO = 4, GUI_RESULT_CANCEL = 8 };

class oxGuiModalDialog : public oxGuiModalPanel {
public:
    // The title is the application window's, else the translation of "Dialog".
    oxGuiModalDialog();
    explicit oxGuiModalDialog(std::unique_ptr<oxGuiElement> content);

    // An empty title means the default above.
    virtual void setTitle(const std::string& title);
    virtual std::string getTitle() const { return m_title; }
    int titleHeight() const { return m_titleHeight; }

    // The title bar is one text line high.
    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    // A press on the title bar drags the dialog; elsewhere the content's.
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    // Moves the dialog, never out of the window.
    void dragBy(int dx, int dy) override;
    // Centred in the window again, unless the user has moved it; then kept
    // inside.
    void onWindowResized() override;
    void draw() override;

    // Appends flexi, the buttons (code, caption) and flexi, so the buttons
    // are centred; returns them in order.
    std::vector<oxGuiModalButton*> addButtonRow(oxGuiContainer& column,
                                                const std::vector<std::pair<int, std::string>>& buttons);
    // The default style (natural size, colours), centred in the window.
    void finishLayout();
    // Plays the sound (beep kind, 0 for the plain beep, -1 for none) and
    // runs modally; the result, or 0.
    int runWithSound(int sound);

private:
    std::string m_title;
    oxTextOutput m_titleOutput;
    int m_titleHeight;
    bool m_movedByUser = false;
};
