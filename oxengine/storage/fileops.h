// File operations with the user in the loop: delete to the freedesktop Trash,
// copy and move with progress and overwrite confirmation.
//
// Nothing is lost on any path: a copy is written under a temporary name in
// the target folder, checked by size, flushed, and only then renamed into
// place, so a failed copy leaves no partial target and an existing target is
// replaced atomically or not at all. A move across file systems removes the
// source only after that. Failures are shown in a message box (or handed to
// the caller through options.error) and return false; an operation the user
// declined returns true and changes nothing.
#pragma once

#include "oxengine/storage/files.h"

#include <cstdint>
#include <functional>
#include <string>

// title is the translated "Copying file...", "Moving file..." or "Deleting
// file..."; done and total are bytes (1 of 1 for a delete).
using oxFileProgress = std::function<void(const std::string& title, int64_t done, int64_t total)>;

struct oxFileOpOptions {
    oxFileProgress progress;
    // When set, a failure's text is stored here instead of being shown.
    std::string* error = nullptr;
};

// Moves the file or folder to the Trash. With confirm the user is asked
// first. Where the volume has no Trash the user is always asked before the
// file is deleted for good.
bool shellDelete(const oxFilename& path, bool confirm, const oxFileOpOptions& options = {});
// to is the new path, or an existing folder to move into. The user is asked
// before an existing target is replaced, whatever confirm says.
bool shellMove(const oxFilename& from, const oxFilename& to, bool confirm, const oxFileOpOptions& options = {});
// to as for shellMove. With confirm the user is asked before an existing
// target is replaced; without it the target is replaced.
bool shellCopy(const oxFilename& from, const oxFilename& to, bool confirm, const oxFileOpOptions& options = {});

// ---- building blocks (also used by oxFilename::renameTo) ----------------------------
enum class oxFileOpResult { Done, TargetExists, Failed };

// Copies the file src to dst through a checked temporary file. followLinks
// false copies a symlink as a symlink. error gets the reason on failure.
oxFileOpResult oxCopyPath(const std::string& src, const std::string& dst, bool replace, bool followLinks,
                          const oxFileProgress* progress, std::string& error);
// Renames src to dst; across file systems a file is copied with oxCopyPath
// and the source removed afterwards.
oxFileOpResult oxMovePath(const std::string& src, const std::string& dst, bool replace, const oxFileProgress* progress,
                          std::string& error);
