#include "app/prepare/preparesteps.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/storage/files.h"

#include <algorithm>
#include <climits>

namespace {

// The comment as one line for the overlay.
std::string oneLine(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return trim(text);
}

} // namespace

void describePicture(const std::string& fileName, const oxImage& image, int edgeLimit, LoadedPicture& picture)
{
    const oxFilename file(fileName);
    picture.fileDate = file.modificationDate();
    picture.fileSize = std::max<int64_t>(file.size(), 0);

    picture.imageWidth = int(std::min<uint32_t>(image.width(), INT_MAX));
    picture.imageHeight = int(std::min<uint32_t>(image.height(), INT_MAX));
    // The file's own size: a reduced decode's size times its reduction can
    // exceed it (a 1500-line JPEG read at 1/8 has 188 lines, not 187.5).
    picture.fullWidth = image.sourceSize().width;
    picture.fullHeight = image.sourceSize().height;
    picture.text = oneLine(image.comment());

    measureSamples(image, picture);

    int reduction = image.reduction();
    if (picture.firstLook) {
        // The full load reduces the file to the edge limit, no further.
        const int full = reductionFactor(oxSize(picture.fullWidth, picture.fullHeight), oxSize(edgeLimit, edgeLimit));
        picture.expectedWidth = int((int64_t(picture.fullWidth) + full - 1) / full);
        picture.expectedHeight = int((int64_t(picture.fullHeight) + full - 1) / full);
        // A full load no larger would only repeat this one.
        picture.firstLook = picture.expectedWidth > picture.imageWidth || picture.expectedHeight > picture.imageHeight;
        if (picture.firstLook)
            reduction = full;
    }
    if (reduction > 1)
        picture.note = formatString(oxGetTranslation("[Picture scaled to 1/%d.]"), reduction);
    if (image.width() > uint32_t(edgeLimit) || image.height() > uint32_t(edgeLimit))
        picture.note += oxGetTranslation(" [Picture is too large and has been cropped.]");
}
