// Rewriting a picture file without ever risking the old one. The new content
// goes to a fresh temporary file (mkstemp) in the target's folder; only when
// it is complete and on disk is it renamed over the target, in one step. On
// any failure the target is as it was and the temporary file is gone.
//
// Every handler's save and every in-place transformation writes through this.
#pragma once

#include "oxengine/core/catalogue.h"

#include <cstdio>
#include <functional>
#include <string>

struct oxReplaceOptions {
    // A transformation keeps the file's modification time; a save gets the
    // time of writing. Permissions (and, where allowed, the owner) of an
    // existing target are always kept; a new file gets 0666 less the umask.
    bool keepModificationDate = false;
    // The English texts of the failures, translated when thrown; the system's
    // reason is added in parentheses.
    const char* createFailed = N_("cannot open file.");
    const char* writeFailed = N_("cannot write file.");
    const char* replaceFailed = N_("cannot replace file.");
};

// Receives the open temporary file and its path. It writes the whole content
// (through the FILE*, or by opening the path itself) and throws on failure.
// It must not close the FILE*.
using oxReplaceWriter = std::function<void(std::FILE* file, const std::string& temporaryPath)>;

// Writes target through write as described above. A symlink is followed: the
// file it points to is replaced, the link stays. Throws oxImageException
// naming target; exceptions from write pass through after the clean-up.
void oxReplaceFile(const std::string& target, const oxReplaceWriter& write, const oxReplaceOptions& options = {});

// The system's text for an errno value (thread-safe).
std::string oxSystemErrorText(int code);
// message followed by " (" + that text + ")"; message alone for code 0.
std::string oxWithSystemReason(const std::string& message, int code);

// A write beyond the file-size limit (RLIMIT_FSIZE) raises SIGXFSZ, which by
// default ends the process. The engine reports such writes as failures
// instead: this ignores the signal unless the program handles it itself.
// oxReplaceFile calls it; the program entry may call it early.
void oxIgnoreFileSizeSignal();
