// The general dialogs: a message with a row of buttons, and a prompt with
// an edit field; each with a one-call function that builds, runs and
// destroys it. An empty title means the application window's title.
#pragma once

#include "oxengine/gui/dialog.h"

#include <string>
#include <vector>

class oxGuiEdit;
class oxGuiLabel;

class oxGuiModalMessageDialog : public oxGuiModalDialog {
public:
    // buttons are MessageButton flags: with MB_OK "OK" (and "Cancel" with
    // MB_CANCEL); without it "Yes" and "No" (and "Cancel" with MB_CANCEL).
    // The icon (MessageIcon) chooses the sound played when it runs.
    oxGuiModalMessageDialog(const std::string& text, const std::string& title, int buttons, int icon);
    // With buttons of the caller's (code, caption); Escape answers escapeAnswer.
    oxGuiModalMessageDialog(const std::string& text, const std::string& title,
                            const std::vector<std::pair<int, std::string>>& buttons, int escapeAnswer, int icon);
    // The pressed button's code, or 0.
    int run();
    // Enter presses the focused button (the first one until the focus
    // moves), Escape answers Cancel, else No, else OK; Tab and the arrow
    // keys move between the buttons.
    bool onKeyDown(int key, bool special) override;
    // The answer of Escape and of a dismissed dialog.
    int escapeAnswer() const { return m_escapeAnswer; }
    const std::vector<oxGuiModalButton*>& buttons() const { return m_buttons; }
    oxGuiLabel* label() const { return m_label; }
    int icon() const { return m_icon; }

private:
    std::vector<oxGuiModalButton*> m_buttons;
    oxGuiLabel* m_label = nullptr;
    int m_icon;
    int m_escapeAnswer;
};

class oxGuiModalInputDialog : public oxGuiModalDialog {
public:
    // value is the caller's, read now and written when the dialog ends with
    // OK; it must outlive the dialog.
    oxGuiModalInputDialog(std::string& value, const std::string& prompt, const std::string& title);
    // True when ended with OK (the text is then in the caller's string).
    bool run();
    oxGuiEdit* edit() const { return m_edit; }

private:
    std::string* m_value;
    oxGuiEdit* m_edit = nullptr;
};

// The beep kind a message dialog plays for a MessageIcon (-1: none).
int oxGuiIconSound(int icon);

// The code of the pressed button (GUI_RESULT_*), or 0.
int runMessageDialog(const std::string& text, const std::string& title = std::string(), int buttons = 1,
                     int icon = 0);
// True when ended with OK; value then holds the edited text.
bool runInputDialog(std::string& value, const std::string& prompt, const std::string& title = std::string());
