#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"

std::string oxJpegHandler::loadFilter() const
{
    return oxGetTranslation("JPEG images (*.jpg)|*.jpg|");
}

bool oxJpegHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".jpg") || hasExtension(filename, ".jpeg");
}

void oxJpegHandler::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    // A new comment replaces every old one, so the old ones are not copied.
    oxJpegHandler::transform(filename, transform, transform.setComment ? COPY_ALL_BUT_COMMENTS : COPY_ALL);
}
