#include "app/shell/appmessages.h"

#include "oxengine/gui/dialogs.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"

int showAppMessage(const std::string& text, const std::string& title, int buttons, int icon)
{
    if (const auto answer = oxMessageSeamAnswer(text, title, buttons, icon))
        return *answer;
    if (!theApplication || !theApplication->isRunning())
        return oxShowMessage(text, title, buttons, icon);
    // GUI_RESULT_* share the values of MessageButton.
    const int pressed = runMessageDialog(text, title, buttons, icon);
    return (pressed == MB_YES || pressed == MB_NO) ? pressed : MB_OK;
}
