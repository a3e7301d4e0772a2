#include "app/shell/loaderwiring.h"

#include "app/loader/loadercontext.h"
#include "app/prepare/headstart.h"
#include "app/prepare/prepare.h"
#include "app/prepare/thumbnail.h"
#include "app/prepare/thumbnailheadstart.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>
#include <memory>
#include <thread>

std::shared_ptr<const oxThumbnailCache> programThumbnailCache()
{
    return std::make_shared<const oxThumbnailCache>(oxThumbnailCache::userRoot(), "pictavo-" PICTAVO_VERSION);
}

namespace {

// Each decode keeps a picture's budget, as in the single view: a
// decompression bomb among the thumbnails is reduced or refused.
oxLoadOptions thumbnailLimits(const oxCancelToken& cancel)
{
    oxLoadOptions options;
    options.budget = decodedPictureBudget(pictureMemoryBudget());
    options.cancel = &cancel;
    return options;
}

} // namespace

void startThumbnailHeadStart(ThumbnailHeadStart& headStart, std::vector<std::string> files, int edge,
                             ThumbnailHeadStart::Made made)
{
    headStart.start(programThumbnailCache(), std::move(files), edge, thumbnailLimits(oxCancelToken::none()),
                    int(std::max(1u, std::thread::hardware_concurrency())), std::move(made));
}

LoaderServices programLoaderServices(LoaderServices services, std::shared_ptr<DecodeHeadStart> headStart,
                                     std::shared_ptr<ThumbnailHeadStart> thumbnailHeadStart)
{
    if (!services.fill && headStart)
        services.fill = [headStart](const std::string& name, LoadedPicture& picture, const oxCancelToken& cancel) {
            return prepareHeadStartedPicture(name, picture, cancel, *headStart);
        };
    else if (!services.fill)
        services.fill = preparePicture;
    if (!services.fillThumbnail) {
        // The thumbnails other programs share: made once, kept across runs.
        std::shared_ptr<const oxThumbnailCache> cache = programThumbnailCache();
        services.fillThumbnail = [cache](const std::string& name, LoadedPicture& picture,
                                         const oxCancelToken& cancel) {
            return prepareThumbnail(cache.get(), name, picture, thumbnailLimits(cancel));
        };
        // Decoded on the workers, uploaded on the loader thread; what the
        // head start made is read from the cache.
        if (!services.makeThumbnail)
            services.makeThumbnail = [cache, thumbnailHeadStart](const std::string& name, int edge,
                                                                 const oxCancelToken& cancel) -> MadeThumbnail {
                if (thumbnailHeadStart)
                    thumbnailHeadStart->handOver(name, cancel);
                auto made = std::make_shared<ThumbnailImage>(
                    makeThumbnailImage(cache.get(), name, edge, thumbnailLimits(cancel), CacheWrite::Later));
                std::function<void()> store = std::move(made->store);
                return {[made](const std::string& file, LoadedPicture& picture, const oxCancelToken&) {
                            uploadThumbnail(file, *made, picture);
                            return true;
                        },
                        store ? [cache, store] { store(); } : std::function<void()>()};
            };
        if (!services.fileChanged)
            services.fileChanged = [cache](const std::string& name) { cache->forget(name); };
    }
    if (!services.makeContext)
        services.makeContext = makeGLLoaderContext;
    return services;
}

std::string fileOperationFailureText(const std::vector<FileOperationFailure>& failures)
{
    std::string text;
    for (const FileOperationFailure& f : failures) {
        if (!text.empty())
            text += "\n\n";
        if (f.operation == FileOperationFailure::COPY || f.operation == FileOperationFailure::MOVE)
            text += oxGetTranslation("Error processing image file:\n") + f.name +
                    (f.reason.empty() ? "" : "\n\n" + f.reason);
        else
            text += oxGetTranslation("Error editing picture:\n") + f.reason;
    }
    return text;
}

void ReportedFailures::add(std::string text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_texts.push_back(std::move(text));
}

std::vector<std::string> ReportedFailures::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_texts, {});
}
