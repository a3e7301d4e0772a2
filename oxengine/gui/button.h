// Buttons: a label that reacts to clicks and posts its command code to the
// application; the modal button instead ends its panel's run with the code.
// Code 1 (the confirming button) also answers Enter, code 8 (cancelling)
// Escape; a button with the keyboard focus answers Space and Enter.
#pragma once

#include "oxengine/gui/label.h"

class oxGuiModalPanel;

enum : int { GUI_CMD_OK = 1, GUI_CMD_CANCEL = 8 };

class oxGuiButton : public oxGuiLabel {
public:
    oxGuiButton();
    oxGuiButton(int command, const std::string& text);

    virtual int getCommand() const { return m_command; }
    // Posts the command when the button is active and the command is not 0.
    virtual void click();

    // At least three text heights wide.
    void setTextHeight(int h) override;
    void onMouseMove(int button, int x, int y) override;
    bool onClick(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    void onFocusChanged(bool focused) override;
    bool acceptsFocus() const override { return true; }
    void draw() override;

    bool isHovered() const { return m_hover; }
    // Highlights as if the pointer were over it (keyboard navigation in
    // menus); the next pointer move decides again.
    void setHovered(bool on);

protected:
    // The focus frame, over whatever the button drew.
    void drawFocus(oxColour colour);
    // The text colour and fill the button draws with now (hover swaps them).
    std::pair<oxColour, oxColour> colours() const;

    bool m_hover = false;
    int m_command = 0;
};

class oxGuiModalButton : public oxGuiButton {
public:
    // The panel is not owned; it must outlive the button (it usually holds it).
    oxGuiModalButton(oxGuiModalPanel* panel, int command, const std::string& text)
        : oxGuiButton(command, text), m_panel(panel) {}
    // Ends the panel's run with the command; nothing is posted.
    void click() override;

private:
    oxGuiModalPanel* m_panel;
};
