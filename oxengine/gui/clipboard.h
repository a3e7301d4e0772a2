// The text clipboard the edit fields copy to and paste from. UTF-8 text.
#pragma once

#include <functional>
#include <string>

// The clipboard's text ("" when it holds none).
std::string oxGuiClipboardText();
void oxGuiSetClipboardText(const std::string& text);

// Replaces where the text goes and comes from (a desktop clipboard of the
// platform layer, or a test's); empty functions restore the default, a
// store inside the program shared by all its fields.
struct oxGuiClipboard {
    std::function<std::string()> get;
    std::function<void(const std::string&)> set;
};
oxGuiClipboard oxSetGuiClipboard(oxGuiClipboard clipboard);
