// How the application puts the background loader together: the preparation
// of app/prepare, the GL context on a hidden window, and the way failed file
// operations travel from the loader thread to a message box on the main
// thread.
#pragma once

#include "app/loader/bgtexloader.h"
#include "app/prepare/thumbnailheadstart.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class DecodeHeadStart;
class oxThumbnailCache;

// The shared thumbnail cache of the user, as this program writes into it.
std::shared_ptr<const oxThumbnailCache> programThumbnailCache();

// services with the program's preparation, GL context and file-operation
// questions (the engine's Yes/No box) where they are empty; the members
// given stay. The picture fill asks the head start first, when there is one;
// the thumbnail workers hand over from the thumbnail head start.
LoaderServices programLoaderServices(LoaderServices services = {},
                                     std::shared_ptr<DecodeHeadStart> headStart = nullptr,
                                     std::shared_ptr<ThumbnailHeadStart> thumbnailHeadStart = nullptr);

// Starts making the files' thumbnails into the program's cache, on every
// core, as the loader's workers would; made sees each as it comes.
void startThumbnailHeadStart(ThumbnailHeadStart& headStart, std::vector<std::string> files, int edge,
                             ThumbnailHeadStart::Made made = {});

// The message for failed file operations: "Error editing picture:\n<reason>"
// for rotations, comments and conversions, "Error processing image
// file:\n<file>\n\n<reason>" for copies and moves; a batch's one below the
// other.
std::string fileOperationFailureText(const std::vector<FileOperationFailure>& failures);

// Failure messages on their way to the user: kept by any thread, taken by
// the main thread, which shows them.
class ReportedFailures {
public:
    void add(std::string text);
    // Every message kept so far, oldest first.
    std::vector<std::string> take();

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};
