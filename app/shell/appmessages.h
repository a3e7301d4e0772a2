// The application's modal messages. While the window runs they are the
// widget toolkit's dialogs, drawn over the picture; before and after that
// the engine's own message box. Either way the test seam of the engine's
// message boxes sees and answers them first.
#pragma once

#include <string>

// MB_OK, MB_YES or MB_NO.
int showAppMessage(const std::string& text, const std::string& title, int buttons, int icon);
