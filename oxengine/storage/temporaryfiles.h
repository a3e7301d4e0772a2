// Temporary files that stand beside the files they are about to replace (a
// rewrite on a file system without unnamed temporary files, a copy on its way
// into place). None may outlive the program's work:
// - while one is written its name is in a fixed table that a SIGINT, SIGTERM
//   or SIGHUP handler empties (unlink is safe in a signal handler) before the
//   signal takes its usual course;
// - what a SIGKILL or a power cut leaves behind carries one of our prefixes
//   and is removed when a folder is opened, once it is a day old (a younger
//   one may belong to a program still writing it).
#pragma once

#include <string>
#include <string_view>

// ".oxtmp-NAME.XXXXXX" beside a rewritten file; ".oxcopy-XXXXXXXX" beside a
// copy's target. Both hidden from folder listings.
inline constexpr std::string_view OX_TEMPORARY_PREFIX = ".oxtmp-";
inline constexpr std::string_view OX_COPY_PREFIX = ".oxcopy-";

// "FOLDER/.oxtmp-NAME." for the file path: the prefix of a temporary name
// beside it, with NAME cut so that the whole fits any file system.
std::string oxTemporaryStem(const std::string& path);

// Keeps path in the signal handler's table while it lives. The handler is
// installed by the first guard (unless the program ignores the signal); a
// handler of the program's own is called after the clean-up. When the table
// is full the file is only left to the stale clean-up.
class oxTemporaryGuard {
public:
    explicit oxTemporaryGuard(const std::string& path);
    ~oxTemporaryGuard();
    oxTemporaryGuard(const oxTemporaryGuard&) = delete;
    oxTemporaryGuard& operator=(const oxTemporaryGuard&) = delete;
    bool registered() const { return m_slot >= 0; }

private:
    int m_slot = -1;
};

// Removes our temporary files (regular files with one of the prefixes,
// owned by this user) older than maxAgeSeconds from the folder. Returns how
// many went.
int oxRemoveStaleTemporaries(const std::string& folder, double maxAgeSeconds = 24 * 3600.0);
