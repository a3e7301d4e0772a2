// File operations with the user in the loop: delete to the freedesktop Trash,
// copy and move with progress and overwrite confirmation.
//
// Nothing is lost on any path: a copy is written under a temporary name in
// the target folder, checked by size, flushed, and only then renamed into
// place, so a failed copy leaves no partial target and an existing target is
// replaced atomically or not at all. A move across file systems removes the
// source only after that. The operations show nothing themselves: questions
// go to the caller's confirmation hook, failures come back as text.
#pragma once

#include "oxengine/storage/files.h"

#include <cstdint>
#include <functional>
#include <string>

// title is the translated "Copying file...", "Moving file..." or "Deleting
// file..."; done and total are bytes (1 of 1 for a delete).
using oxFileProgress = std::function<void(const std::string& title, int64_t done, int64_t total)>;
// A yes/no question to the user (both texts translated); true goes ahead.
using oxFileConfirm = std::function<bool(const std::string& text, const std::string& title)>;

struct oxFileOpOptions {
    oxFileProgress progress;
    // Asked before a file is replaced, moved to the Trash on request, or
    // deleted for good. Without it every such question is answered no.
    oxFileConfirm confirm;
};

// done is false only for a failure, with its translated reason in error; a
// question answered no leaves every file as it was and counts as done.
struct [[nodiscard]] oxFileOpOutcome {
    bool done = true;
    std::string error;
};

// Moves the file or folder to the Trash. With confirm the user is asked
// first. Where the volume has no Trash, or the Trash refuses the file (a name
// too long for its record), the user is asked, with the reason, before the
// file is deleted for good.
oxFileOpOutcome shellDelete(const oxFilename& path, bool confirm, const oxFileOpOptions& options = {});
// to is the new path, or an existing folder to move into. The user is asked
// before an existing target is replaced, whatever confirm says.
oxFileOpOutcome shellMove(const oxFilename& from, const oxFilename& to, bool confirm,
                          const oxFileOpOptions& options = {});
// to as for shellMove. With confirm the user is asked before an existing
// target is replaced; without it the target is replaced.
oxFileOpOutcome shellCopy(const oxFilename& from, const oxFilename& to, bool confirm,
                          const oxFileOpOptions& options = {});
