// Decoding: straight into the rows of the new image, RGBA by the library's
// own transformations; a picture larger than the maximum or the memory
// budget is reduced row by row as it is decoded.
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/image/png/pngsupport.h"

#include <cstring>

std::string oxPngHandler::loadFilter() const
{
    return oxGetTranslation("PNG images (*.png)|*.png|");
}

bool oxPngHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".png");
}

std::unique_ptr<oxImage> oxPngHandler::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    oxStdioFile file = oxOpenForReading(filename, oxGetTranslation("decompression failed."));
    // Large reads: the library asks for a few KB at a time.
    std::setvbuf(file.get(), nullptr, _IOFBF, size_t(1) << 18);
    oxPngReadJob job;
    job.file = file.get();
    job.filename = filename;
    job.options = &options;
    std::string damage;
    if (!oxPngRead(job)) {
        options.checkCancelled();
        if (job.sizeRefused)
            oxCheckImageSize(job.width, job.height, job.sixteenBit ? 8 : 4, filename);
        // What was decoded is shown; the rows never reached stay transparent.
        if (!job.image || job.rowsDone == 0)
            throw oxImageException(oxPngFailure(oxGetTranslation("decompression failed."), job.errors), filename);
        const size_t done = size_t(job.rowsDone) * job.image->rowBytes();
        std::memset(job.image->rowData(0) + done, 0, job.image->byteSize() - done);
        damage = oxPngDamageReason(job);
    }
    job.prefault.reset();
    std::unique_ptr<oxImage> image = oxAsMeantToBeSeen(std::move(job.image), job.colours, job.orientation, filename);
    image->setComment(oxPngComment(job.reader.png, job.reader.info, job.reader.end));
    image->setDamage(std::move(damage));
    return image;
}
