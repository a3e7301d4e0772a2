// Picture files are read, written and transformed through format handlers.
// The process keeps one ordered list of them, the registry; every file
// operation asks the handlers in order which one is responsible for a name.
#pragma once

#include "oxengine/image/image.h"
#include "oxengine/storage/files.h"

#include <climits>
#include <memory>
#include <string>
#include <vector>

// A file transformation: quarter turns and a new comment.
struct oxImageTransform {
    int32_t rotation = 0; // 0 none, 1, 2, 3 quarter turns clockwise (as rotatedCopy)
    bool setComment = false;
    std::string comment; // the new comment when setComment is set
};

// One family of file extensions. The virtual operations are in the order
// subclasses rely on. Handlers hold no state and may be used from any thread.
class oxImageHandler {
public:
    // File-dialog filter of the loadable files: description|pattern| pairs,
    // translated.
    virtual std::string loadFilter() const = 0;
    virtual std::string saveFilter() const { return loadFilter(); }
    virtual bool canLoad(const std::string& filename) const = 0;
    virtual bool canSave(const std::string& filename) const { return canLoad(filename); }
    // Whether the handler transforms such files itself (otherwise the
    // registry loads, changes and saves them).
    virtual bool canTransform(const std::string& filename) const { return canLoad(filename); }
    // A new image (or null). The options' maximum is a hint a decoder may use
    // to decode smaller (the registry reduces whatever comes back); their
    // budget is kept by decoding reduced or by refusing, and their token is
    // polled between bands of rows. Throws oxImageException on failure and
    // oxCancelled when cancelled.
    virtual std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const = 0;
    // Whether a smaller maximum makes loadImage decode less (and so finish
    // sooner) rather than decode everything and reduce afterwards.
    virtual bool decodesReduced() const { return false; }
    // Writes through oxReplaceFile, so a failed save leaves any existing file
    // as it was. Throws oxImageException on failure.
    virtual void saveImage(const oxImage& image, const std::string& filename,
                           const oxToneMapping& toneMapping) const = 0;
    virtual void transformFile(const std::string& filename, const oxImageTransform& transform) const = 0;
    virtual ~oxImageHandler() = default;

    // The extension test: the whole name lower-cased ends with extension
    // (which includes its dot), so "PHOTO.JPEG" ends with ".jpeg".
    static bool hasExtension(const std::string& filename, const char* extension);
};

// For handlers that refuse transformations: throws oxImageException with
// "transform not supported".
[[noreturn]] void oxTransformNotSupported(const std::string& filename);

// The ordered handler list. The process has one (instance()), filled on
// first use; tests build their own from handlers of their choice.
class oxImageRegistry {
public:
    explicit oxImageRegistry(std::vector<std::unique_ptr<oxImageHandler>> handlers);
    // The process's registry; safe to call from any thread.
    static const oxImageRegistry& instance();

    const std::vector<std::unique_ptr<oxImageHandler>>& handlers() const { return m_handlers; }

    // Decodes through the first handler that can load the name, then reduces
    // the picture by the larger of reductionFactor(size, maximum) and
    // budgetFactor when that is 2 or more. Throws oxImageException
    // ("unsupported image file type" without a handler) and oxCancelled; the
    // caller owns the result, which is never null.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const;
    bool canLoad(const std::string& filename) const;
    // The handler that would load the name decodes reduced pictures cheaply.
    bool decodesReduced(const std::string& filename) const;
    // Through the first handler that can save the name.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const;
    // Through the first handler that transforms the name itself, or the
    // generic load-change-save with the first that can save it.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const;
    // Every handler's save filter in order, then "All Files (*.*)|*|".
    std::string saveFilterString() const;

private:
    std::vector<std::unique_ptr<oxImageHandler>> m_handlers;
};

// Loads the whole file with handler, applies the transform and saves it
// back with handler, keeping the file's modification time.
void genericTransform(const oxImageHandler& handler, const std::string& filename, const oxImageTransform& transform);

// ---- image options ----------------------------------------------------------------
// A process-wide table of named integers the writers read ("Quality" for
// JPEG). Safe to use from any thread.
constexpr int IMAGE_OPTION_ABSENT = INT_MIN;
// The stored value, IMAGE_OPTION_ABSENT when the name is not in the table.
int imageOption(const std::string& name);
void setImageOption(const std::string& name, int value);
void removeImageOption(const std::string& name);

// ---- filename filter ----------------------------------------------------------------
// Accepts the folder entries the process's registry can load.
class oxImageFilenameFilter : public oxFilenameFilter {
public:
    bool accept(const oxFilename& folder, const std::string& entryName) const override;
};
