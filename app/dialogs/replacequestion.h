// Asking before a copy, move or conversion replaces an existing file. The
// question comes before anything is queued, on the main thread, so the
// loader only ever does what the user agreed to.
#pragma once

#include <functional>
#include <optional>
#include <string>

// Asks about one existing target; several offers "to all" answers. Returns
// MB_YES (replace), MB_NO (skip), MB_YES_ALL or MB_NO_ALL.
using AskReplace = std::function<int(const std::string& target, bool several)>;

// Through the message seam, else the widget toolkit's dialog.
int askReplaceOnScreen(const std::string& target, bool several);

class ReplaceDecisions {
public:
    ReplaceDecisions(AskReplace ask, bool several) : m_ask(std::move(ask)), m_several(several) {}
    // For a target: nothing to skip the file, otherwise whether it goes with
    // consent to replace (false for a target that does not exist).
    std::optional<bool> decide(const std::string& target);

private:
    AskReplace m_ask;
    bool m_several;
    int m_toAll = 0; // MB_YES_ALL or MB_NO_ALL once given
};

// Where a copy or move to target puts the file: into target when it is an
// existing folder.
std::string placedTarget(const std::string& source, const std::string& target);
// Both name the same file (a copy onto itself).
bool sameFile(const std::string& a, const std::string& b);
