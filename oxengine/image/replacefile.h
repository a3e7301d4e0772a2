// Rewriting a picture file without ever risking the old one. The new content
// goes to an unnamed temporary file (O_TMPFILE) in the target's folder; only
// when it is complete and on disk is it linked under a temporary name and
// renamed over the target, in one step. On any failure the target is as it
// was and the temporary file is gone; a process killed while writing leaves
// nothing behind. Where the file system has no unnamed files a named one
// (".oxtmp-NAME.XXXXXX", see temporaryfiles.h) stands in.
//
// Every handler's save and every in-place transformation writes through this.
#pragma once

#include "oxengine/core/catalogue.h"
#include "oxengine/core/regularfile.h" // oxWithSystemReason for the writers

#include <cstdio>
#include <functional>
#include <string>

struct oxReplaceOptions {
    // A transformation keeps the file's modification time; a save gets the
    // time of writing. The permissions, the extended attributes (ACLs among
    // them) and, where allowed, the owner and group of an existing target
    // are always kept; a new file gets 0666 less the umask.
    bool keepModificationDate = false;
    // The English texts of the failures, translated when thrown; the system's
    // reason is added in parentheses.
    const char* createFailed = N_("cannot open file.");
    const char* writeFailed = N_("cannot write file.");
    const char* replaceFailed = N_("cannot replace file.");
};

// Receives the open temporary file and a path under which it can be opened
// (for an unnamed file "/proc/self/fd/N"). It writes the whole content
// (through the FILE*, or by opening the path itself) and throws on failure.
// It must not close the FILE*.
using oxReplaceWriter = std::function<void(std::FILE* file, const std::string& temporaryPath)>;

// Writes target through write as described above. A symlink is followed: the
// file it points to is replaced, the link stays. Throws oxImageException
// naming target; exceptions from write pass through after the clean-up.
void oxReplaceFile(const std::string& target, const oxReplaceWriter& write, const oxReplaceOptions& options = {});

// A write beyond the file-size limit (RLIMIT_FSIZE) raises SIGXFSZ, which by
// default ends the process. The engine reports such writes as failures
// instead: this ignores the signal unless the program handles it itself.
// oxReplaceFile calls it; the program entry may call it early.
void oxIgnoreFileSizeSignal();
