// Decoding: straight into the rows of the new image, RGBA by the library's
// own transformations.
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/image/png/pngsupport.h"

std::string oxPngHandler::loadFilter() const
{
    return oxGetTranslation("PNG images (*.png)|*.png|");
}

bool oxPngHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".png");
}

std::unique_ptr<oxImage> oxPngHandler::loadImage(const std::string& filename, const oxSize&) const
{
    oxStdioFile file = oxOpenForReading(filename, oxGetTranslation("decompression failed."));
    // Large reads: the library asks for a few KB at a time.
    std::setvbuf(file.get(), nullptr, _IOFBF, size_t(1) << 18);
    oxPngReadJob job;
    job.file = file.get();
    if (!oxPngRead(job)) {
        if (job.sizeRefused)
            oxCheckImageSize(job.width, job.height, job.sixteenBit ? 8 : 4, filename);
        throw oxImageException(oxPngFailure(oxGetTranslation("decompression failed."), job.errors), filename);
    }
    job.prefault.reset();
    job.image->setComment(oxPngComment(job.reader.png, job.reader.info, job.reader.end));
    return std::move(job.image);
}
