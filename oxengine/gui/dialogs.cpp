#include "oxengine/gui/dialogs.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/messagebox.h"

namespace {

// Input dialogs are wide enough for a path.
constexpr int INPUT_WIDTH_IN_CHARS = 80;

std::vector<std::pair<int, std::string>> buttonsFor(int flags)
{
    std::vector<std::pair<int, std::string>> buttons;
    if (flags & MB_OK) {
        buttons.emplace_back(GUI_RESULT_OK, oxGetTranslation(N_("OK")));
    } else {
        buttons.emplace_back(GUI_RESULT_YES, oxGetTranslation(N_("Yes")));
        buttons.emplace_back(GUI_RESULT_NO, oxGetTranslation(N_("No")));
    }
    if (flags & MB_CANCEL)
        buttons.emplace_back(GUI_RESULT_CANCEL, oxGetTranslation(N_("Cancel")));
    return buttons;
}

int escapeAnswerFor(int flags)
{
    if (flags & MB_CANCEL)
        return GUI_RESULT_CANCEL;
    return (flags & MB_OK) ? GUI_RESULT_OK : GUI_RESULT_NO;
}

} // namespace

int oxGuiIconSound(int icon)
{
    switch (icon) {
    case MI_INFORMATION:
        return 0;
    case MI_WARNING:
        return 2;
    case MI_ERROR:
        return 3;
    case MI_QUESTION:
        return 4;
    default:
        return -1;
    }
}

oxGuiModalMessageDialog::oxGuiModalMessageDialog(const std::string& text, const std::string& title, int buttons, int icon)
    : oxGuiModalMessageDialog(text, title, buttonsFor(buttons), escapeAnswerFor(buttons), icon)
{
}

oxGuiModalMessageDialog::oxGuiModalMessageDialog(const std::string& text, const std::string& title,
                                                 const std::vector<std::pair<int, std::string>>& buttons,
                                                 int escapeAnswer, int icon)
    : oxGuiModalDialog(std::make_unique<oxGuiVSizer>()), m_icon(icon), m_escapeAnswer(escapeAnswer)
{
    setTitle(title);
    auto* column = static_cast<oxGuiVSizer*>(content());
    m_label = column->addChild(std::make_unique<oxGuiLabel>(text, TA_LEFT));
    column->addChild(std::make_unique<oxGuiHLine>());
    m_buttons = addButtonRow(*column, buttons);
    finishLayout();
    // The keyboard reaches every button: Space presses the focused one.
    setFocus(m_buttons.front());
}

int oxGuiModalMessageDialog::run()
{
    return runWithSound(oxGuiIconSound(m_icon));
}

bool oxGuiModalMessageDialog::onKeyDown(int key, bool special)
{
    // The focused button has had Enter and Space already; a Cancel
    // button takes Escape here.
    if (content() && content()->onKeyDown(key, special))
        return true;
    if (!special && key == GUI_KEY_ESCAPE) {
        setResult(escapeAnswer());
        return true;
    }
    const bool back = key == GUI_SPECIAL_LEFT || key == GUI_SPECIAL_UP;
    if (special && (back || key == GUI_SPECIAL_RIGHT || key == GUI_SPECIAL_DOWN)) {
        focusNext(*this, !back);
        return true;
    }
    return oxGuiModalDialog::onKeyDown(key, special);
}

oxGuiModalInputDialog::oxGuiModalInputDialog(std::string& value, const std::string& prompt, const std::string& title)
    : oxGuiModalDialog(std::make_unique<oxGuiVSizer>()), m_value(&value)
{
    setTitle(title);
    auto* column = static_cast<oxGuiVSizer*>(content());
    column->addChild(std::make_unique<oxGuiLabel>(prompt, TA_LEFT));
    m_edit = column->addChild(std::make_unique<oxGuiEdit>(INPUT_WIDTH_IN_CHARS, value, TA_LEFT));
    column->addChild(std::make_unique<oxGuiHLine>());
    addButtonRow(*column, buttonsFor(MB_OK | MB_CANCEL));
    finishLayout();
    setFocus(m_edit);
    // Typing replaces the old value; the arrow keys keep it.
    m_edit->selectAll();
}

bool oxGuiModalInputDialog::run()
{
    if (runWithSound(oxGuiIconSound(MI_QUESTION)) != GUI_RESULT_OK)
        return false;
    *m_value = m_edit->getText();
    return true;
}

int runMessageDialog(const std::string& text, const std::string& title, int buttons, int icon)
{
    oxGuiModalMessageDialog dialog(text, title, buttons, icon);
    return dialog.run();
}

bool runInputDialog(std::string& value, const std::string& prompt, const std::string& title)
{
    oxGuiModalInputDialog dialog(value, prompt, title);
    return dialog.run();
}
