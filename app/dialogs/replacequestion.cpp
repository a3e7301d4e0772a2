#include "app/dialogs/replacequestion.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/files.h"

#include <sys/stat.h>

int askReplaceOnScreen(const std::string& target, bool several)
{
    const std::string text =
        formatString(oxGetTranslation("The file \"%s\" already exists.\nDo you want to replace it?"), target.c_str());
    const std::string title = oxGetTranslation("Confirm file replace");
    const int offered = MB_YES | MB_NO | (several ? MB_YES_ALL | MB_NO_ALL : 0);
    if (const auto answer = oxMessageSeamAnswer(text, title, offered, MI_QUESTION))
        return *answer == MB_OK ? MB_NO : *answer;
    std::vector<std::pair<int, std::string>> buttons = {{MB_YES, oxGetTranslation(N_("Replace"))},
                                                        {MB_NO, oxGetTranslation(N_("Skip"))}};
    if (several) {
        buttons.emplace_back(MB_YES_ALL, oxGetTranslation(N_("Replace all")));
        buttons.emplace_back(MB_NO_ALL, oxGetTranslation(N_("Skip all")));
    }
    // Escape keeps the files: the declined answer.
    oxGuiModalMessageDialog dialog(text, title, buttons, several ? MB_NO_ALL : MB_NO, MI_QUESTION);
    const int pressed = dialog.run();
    return pressed == 0 ? MB_NO : pressed;
}

std::optional<bool> ReplaceDecisions::decide(const std::string& target)
{
    struct stat st;
    if (lstat(target.c_str(), &st) != 0)
        return false;
    int answer = m_toAll;
    if (!answer)
        answer = m_ask ? m_ask(target, m_several) : MB_NO;
    if (answer == MB_YES_ALL || answer == MB_NO_ALL)
        m_toAll = answer;
    if (answer == MB_YES || answer == MB_YES_ALL)
        return true;
    return std::nullopt;
}

std::string placedTarget(const std::string& source, const std::string& target)
{
    struct stat st;
    if (stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return target;
    return oxFilename::join(oxFilename(target + "/"), oxFilename(source).name()).systemPath();
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
