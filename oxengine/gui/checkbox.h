// A button with an on/off state, shown as a mark before its text.
#pragma once

#include "oxengine/gui/button.h"

class oxGuiCheckbox : public oxGuiButton {
public:
    oxGuiCheckbox();
    oxGuiCheckbox(int command, const std::string& text);

    // Requests a redisplay when the state changes; posts nothing.
    void setChecked(bool on);
    bool isChecked() const { return m_checked; }

    // Toggles, then posts the command (when not 0).
    void click() override;
    // As a button, widened by the mark.
    void setTextHeight(int h) override;
    void draw() override;

private:
    bool m_checked = false;
};
