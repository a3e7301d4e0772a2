// The text clipboard the edit fields copy to and paste from. UTF-8 text.
#pragma once

#include <functional>
#include <string>

// The clipboard's text ("" when it holds none).
std::string oxGuiClipboardText();
void oxGuiSetClipboardText(const std::string& text);

// Test seam: replaces where the text goes and comes from; empty functions
// restore the default (the desktop's clipboard where there is one, else a
// store inside the program).
struct oxGuiClipboard {
    std::function<std::string()> get;
    std::function<void(const std::string&)> set;
};
oxGuiClipboard oxSetGuiClipboard(oxGuiClipboard clipboard);
