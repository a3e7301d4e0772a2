// Modal message and input boxes of the engine. They run on a small X window of
// their own (own X connection), so they work from any thread, before the GLUT
// window exists and above a full-screen window. Without a display the message
// goes to stderr and the default answer is returned.
#pragma once

#include <functional>
#include <optional>
#include <string>

// MB_YES_ALL and MB_NO_ALL are answers of the widget toolkit's dialogs that
// offer "to all" buttons; the engine's own box never shows them.
enum MessageButton { MB_OK = 1, MB_YES = 2, MB_NO = 4, MB_CANCEL = 8, MB_YES_ALL = 16, MB_NO_ALL = 32 };
enum MessageIcon { MI_NONE = 0, MI_INFORMATION = 1, MI_WARNING = 2, MI_ERROR = 3, MI_QUESTION = 4 };

// Returns MB_YES, MB_NO or MB_OK (every other way of closing the box gives
// MB_OK, Cancel included). An empty title is replaced by the application's title.
int oxShowMessage(const std::string& text, const std::string& title = std::string(), int buttons = MB_OK,
                  int icon = MI_NONE);

// True when confirmed with OK; text then holds the input (at most 4999
// characters are kept). Cancel or close leaves text unchanged.
bool oxInputBox(const std::string& prompt, const std::string& title, std::string& text, bool multiLine = false);

struct oxFailure;
// The failure sink that start-up installs (oxSetFailureSink): a broken
// invariant in an error box, a notice in a plain one, each with an OK button.
void oxShowFailure(const oxFailure& failure);

// A Yes/No question with the question icon; true for Yes. What the app hands
// to file operations as their confirmation hook.
bool oxAskYesNo(const std::string& text, const std::string& title);

// The caption used for an empty title; the application sets it from its window title.
void oxSetMessageBoxDefaultTitle(const std::string& title);
std::string oxMessageBoxDefaultTitle();

// ---- Test seam --------------------------------------------------------------
// Every box passes through the seam first. A test installs a handler that sees
// the request and returns the answer; no window is shown then.
// For end-to-end runs the environment does the same:
//   OX_MESSAGE_LOG=<file>      each box is appended to the file as one line
//                              "<kind>\t<title>\t<buttons>\t<icon>\t<text>"
//                              (kind "message" or "input"; tabs and line breaks
//                              in the texts written as \t and \n) and answered
//                              without a window;
//   OX_MESSAGE_ANSWERS=a,b,... answers used in order: ok, yes, no, cancel,
//                              yesall, noall (for boxes that offer them), or
//                              "=text" for an input box confirmed with text.
//                              When the list is used up, a box gets its
//                              default: OK, Yes for a Yes/No box, and input
//                              boxes are cancelled.
struct oxMessageRequest {
    bool input = false; // an input box
    std::string title;  // after the empty-title replacement
    std::string text;   // the message, or the prompt of an input box
    int buttons = MB_OK;
    int icon = MI_NONE;
    std::string inputText; // pre-filled text of an input box
    bool multiLine = false;
};
struct oxMessageAnswer {
    int button = MB_OK;    // MB_OK/MB_YES/MB_NO/MB_CANCEL
    std::string inputText; // text of a confirmed input box
};
using oxMessageHandler = std::function<oxMessageAnswer(const oxMessageRequest&)>;
// Installs a process-wide handler (empty function = none). Returns the previous one.
oxMessageHandler oxSetMessageHandler(oxMessageHandler handler);

// The seam's answer (MB_YES, MB_NO or MB_OK; MB_YES_ALL or MB_NO_ALL where
// buttons offer them) to a message, recorded as
// oxShowMessage records it; nothing, and nothing recorded, when neither a
// handler nor OX_MESSAGE_LOG is in place. For dialogs drawn by other means
// (the widget toolkit's) that are to be tested the same way.
std::optional<int> oxMessageSeamAnswer(const std::string& text, const std::string& title, int buttons, int icon);
