#include "oxengine/platform/messagebox.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/platform/messagebox_native.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

struct SeamState {
    std::mutex mutex;
    oxMessageHandler handler;
    std::string defaultTitle;
    bool answersRead = false;
    std::vector<std::string> answers; // from OX_MESSAGE_ANSWERS
    size_t nextAnswer = 0;
};

SeamState& seam()
{
    static SeamState s;
    return s;
}

std::string escapeField(const std::string& text)
{
    return replaceAll(replaceAll(replaceAll(text, "\\", "\\\\"), "\t", "\\t"), "\n", "\\n");
}

int defaultButton(int buttons)
{
    return (buttons & (MB_YES | MB_NO)) ? MB_YES : MB_OK;
}

// Answers from the environment seam, or nothing when it is not switched on.
std::optional<oxMessageAnswer> environmentAnswer(const oxMessageRequest& r)
{
    const char* log = std::getenv("OX_MESSAGE_LOG");
    if (!log || !*log)
        return std::nullopt;
    SeamState& s = seam();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (std::FILE* f = std::fopen(log, "a")) {
        std::fprintf(f, "%s\t%s\t%d\t%d\t%s\n", r.input ? "input" : "message", escapeField(r.title).c_str(),
                     r.buttons, r.icon, escapeField(r.text).c_str());
        std::fclose(f);
    }
    if (!s.answersRead) {
        s.answersRead = true;
        if (const char* a = std::getenv("OX_MESSAGE_ANSWERS"))
            s.answers = splitString(a, ",", "", 0, true);
    }
    oxMessageAnswer answer;
    answer.button = r.input ? MB_CANCEL : defaultButton(r.buttons);
    if (s.nextAnswer < s.answers.size()) {
        const std::string a = s.answers[s.nextAnswer++];
        if (!a.empty() && a[0] == '=') {
            answer.button = MB_OK;
            answer.inputText = a.substr(1);
        } else if (a == "yes")
            answer.button = MB_YES;
        else if (a == "no")
            answer.button = MB_NO;
        else if (a == "cancel")
            answer.button = MB_CANCEL;
        else if (a == "yesall" && (r.buttons & MB_YES_ALL))
            answer.button = MB_YES_ALL;
        else if (a == "noall" && (r.buttons & MB_NO_ALL))
            answer.button = MB_NO_ALL;
        else
            answer.button = MB_OK;
    }
    return answer;
}

oxMessageAnswer answerRequest(const oxMessageRequest& r)
{
    oxMessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(seam().mutex);
        handler = seam().handler;
    }
    if (handler)
        return handler(r);
    if (auto a = environmentAnswer(r))
        return *a;
    if (auto a = oxNativeMessageBox(r))
        return *a;
    // No display: the message goes to stderr and the default answer is taken.
    std::fprintf(stderr, "%s: %s\n", r.title.c_str(), r.text.c_str());
    oxMessageAnswer a;
    a.button = r.input ? MB_CANCEL : defaultButton(r.buttons);
    return a;
}

std::string titleOrDefault(const std::string& title)
{
    if (!title.empty())
        return title;
    std::string t = oxMessageBoxDefaultTitle();
    return t.empty() ? std::string(oxGetTranslation("Pictavo")) : t;
}

} // namespace

int oxShowMessage(const std::string& text, const std::string& title, int buttons, int icon)
{
    oxMessageRequest r;
    r.text = text;
    r.title = titleOrDefault(title);
    r.buttons = buttons;
    r.icon = icon;
    const int pressed = answerRequest(r).button;
    return (pressed == MB_YES || pressed == MB_NO) ? pressed : MB_OK;
}

void oxShowFailure(const oxFailure& failure)
{
    oxShowMessage(failure.text, failure.title, MB_OK, failure.brokenInvariant ? MI_ERROR : MI_NONE);
}

bool oxAskYesNo(const std::string& text, const std::string& title)
{
    return oxShowMessage(text, title, MB_YES | MB_NO, MI_QUESTION) == MB_YES;
}

std::optional<int> oxMessageSeamAnswer(const std::string& text, const std::string& title, int buttons, int icon)
{
    oxMessageRequest r;
    r.text = text;
    r.title = titleOrDefault(title);
    r.buttons = buttons;
    r.icon = icon;
    oxMessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(seam().mutex);
        handler = seam().handler;
    }
    std::optional<oxMessageAnswer> answer;
    if (handler)
        answer = handler(r);
    else
        answer = environmentAnswer(r);
    if (!answer)
        return std::nullopt;
    const int pressed = answer->button;
    const bool offered = (pressed & buttons & (MB_YES_ALL | MB_NO_ALL)) != 0;
    return (pressed == MB_YES || pressed == MB_NO || offered) ? pressed : MB_OK;
}

bool oxInputBox(const std::string& prompt, const std::string& title, std::string& text, bool multiLine)
{
    oxMessageRequest r;
    r.input = true;
    r.text = prompt;
    r.title = titleOrDefault(title);
    r.buttons = MB_OK | MB_CANCEL;
    r.multiLine = multiLine;
    r.inputText = text.substr(0, utf8Offset(text, 4999));
    const oxMessageAnswer a = answerRequest(r);
    if (a.button != MB_OK)
        return false;
    text = a.inputText.substr(0, utf8Offset(a.inputText, 4999));
    return true;
}

void oxSetMessageBoxDefaultTitle(const std::string& title)
{
    std::lock_guard<std::mutex> lock(seam().mutex);
    seam().defaultTitle = title;
}

std::string oxMessageBoxDefaultTitle()
{
    std::lock_guard<std::mutex> lock(seam().mutex);
    return seam().defaultTitle;
}

oxMessageHandler oxSetMessageHandler(oxMessageHandler handler)
{
    std::lock_guard<std::mutex> lock(seam().mutex);
    std::swap(seam().handler, handler);
    return handler;
}
