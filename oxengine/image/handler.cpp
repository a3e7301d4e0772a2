#include "oxengine/image/handler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/exr/exrhandler.h"
#include "oxengine/image/jpeg/jpeghandler.h"
#include "oxengine/image/pixbuf/pixbufhandler.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/image/tga/tgahandler.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

// In the order the registry asks them; the order decides which handler serves
// an extension claimed twice.
std::vector<std::unique_ptr<oxImageHandler>> processHandlers()
{
    std::vector<std::unique_ptr<oxImageHandler>> handlers;
    handlers.push_back(std::make_unique<oxTgaHandler>());
    handlers.push_back(std::make_unique<oxJpegHandler>());
    handlers.push_back(std::make_unique<oxPngHandler>());
    handlers.push_back(std::make_unique<oxOLEImageHandler>());
    // EXR only where the OpenEXR library is installed.
    if (auto exr = oxExrLibrary::process())
        handlers.push_back(std::make_unique<oxExrHandler>(std::move(exr)));
    return handlers;
}

[[noreturn]] void unsupported(const std::string& filename)
{
    throw oxImageException(oxGetTranslation("unsupported image file type"), filename);
}

struct ImageOptions {
    std::mutex lock;
    std::map<std::string, int> values;
};

ImageOptions& imageOptions()
{
    static ImageOptions options;
    return options;
}

} // namespace

bool oxImageHandler::hasExtension(const std::string& filename, const char* extension)
{
    return endsWith(toLower(filename), extension);
}

void oxTransformNotSupported(const std::string& filename)
{
    throw oxImageException(oxGetTranslation("transform not supported"), filename);
}

oxImageRegistry::oxImageRegistry(std::vector<std::unique_ptr<oxImageHandler>> handlers)
    : m_handlers(std::move(handlers))
{
}

const oxImageRegistry& oxImageRegistry::instance()
{
    // Filled once, by whichever thread comes first; read-only afterwards.
    static const oxImageRegistry registry(processHandlers());
    return registry;
}

std::unique_ptr<oxImage> oxImageRegistry::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    std::unique_ptr<oxImage> image;
    for (const auto& handler : m_handlers) {
        if (handler->canLoad(filename)) {
            image = handler->loadImage(filename, options);
            break;
        }
    }
    if (!image)
        unsupported(filename);
    // The decoders keep to both already; this is for those that cannot.
    const int f = std::max(reductionFactor(image->size(), options.maximum),
                           budgetFactor(image->width(), image->height(), image->pixelBytes(), options.budget));
    if (f >= 2) {
        image = image->reducedCopy(f);
        if (!image)
            throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
    }
    return image;
}

bool oxImageRegistry::canLoad(const std::string& filename) const
{
    for (const auto& handler : m_handlers) {
        if (handler->canLoad(filename))
            return true;
    }
    return false;
}

bool oxImageRegistry::decodesReduced(const std::string& filename) const
{
    for (const auto& handler : m_handlers) {
        if (handler->canLoad(filename))
            return handler->decodesReduced();
    }
    return false;
}

void oxImageRegistry::saveImage(const oxImage& image, const std::string& filename,
                                const oxToneMapping& toneMapping) const
{
    for (const auto& handler : m_handlers) {
        if (handler->canSave(filename)) {
            handler->saveImage(image, filename, toneMapping);
            return;
        }
    }
    unsupported(filename);
}

void oxImageRegistry::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    for (const auto& handler : m_handlers) {
        if (handler->canTransform(filename)) {
            handler->transformFile(filename, transform);
            return;
        }
        if (handler->canSave(filename)) {
            genericTransform(*handler, filename, transform);
            return;
        }
    }
    throw oxImageException(oxGetTranslation("cannot transform this image"), filename);
}

std::string oxImageRegistry::saveFilterString() const
{
    std::string filters;
    for (const auto& handler : m_handlers)
        filters += handler->saveFilter();
    return filters + oxGetTranslation("All Files (*.*)|*|");
}

void genericTransform(const oxImageHandler& handler, const std::string& filename, const oxImageTransform& transform)
{
    std::unique_ptr<oxImage> image = handler.loadImage(filename, oxSize(-1, -1));
    if (!image)
        throw oxImageException(oxGetTranslation("cannot load this image"), filename);
    if (!image->damage().empty()) {
        throw oxImageException(formatString(oxGetTranslation("The file is damaged (%s) and is not rewritten."),
                                            image->damage().c_str()),
                               filename);
    }
    const oxFilename file(filename);
    const double date = file.modificationDate();
    if (transform.setComment)
        image->setComment(transform.comment);
    if (transform.rotation != 0) {
        image = image->rotatedCopy(transform.rotation);
        if (!image)
            throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
    }
    // The save replaces the file in one step, so a failure leaves it whole.
    handler.saveImage(*image, filename, oxToneMapping::neutral());
    if (date >= 0)
        file.setModificationDate(date);
}

// The image model saves through the registry (declared in image.h, which
// cannot include the registry).
void oxSaveImageFile(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping)
{
    oxImageRegistry::instance().saveImage(image, filename, toneMapping);
}

int imageOption(const std::string& name)
{
    ImageOptions& options = imageOptions();
    std::lock_guard<std::mutex> guard(options.lock);
    const auto it = options.values.find(name);
    return it == options.values.end() ? IMAGE_OPTION_ABSENT : it->second;
}

void setImageOption(const std::string& name, int value)
{
    ImageOptions& options = imageOptions();
    std::lock_guard<std::mutex> guard(options.lock);
    options.values[name] = value;
}

void removeImageOption(const std::string& name)
{
    ImageOptions& options = imageOptions();
    std::lock_guard<std::mutex> guard(options.lock);
    options.values.erase(name);
}

bool oxImageFilenameFilter::accept(const oxFilename& folder, const std::string& entryName) const
{
    return oxImageRegistry::instance().canLoad(oxFilename::join(folder, entryName).toString());
}
