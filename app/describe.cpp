#include "app/preparesteps.h"

#include "oxengine/catalogue.h"
#include "oxengine/files.h"
#include "oxengine/strings.h"

#include <algorithm>
#include <climits>

namespace {

// The comment as one line for the overlay.
std::string oneLine(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return trim(text);
}

int fullExtent(uint32_t decoded, int reduction)
{
    return int(std::min<int64_t>(int64_t(decoded) * std::max(reduction, 1), INT_MAX));
}

} // namespace

void describePicture(const std::string& fileName, const oxImage& image, int edgeLimit, LoadedPicture& picture)
{
    const oxFilename file(fileName);
    picture.fileDate = file.modificationDate();
    picture.fileSize = std::max<int64_t>(file.size(), 0);

    picture.imageWidth = int(std::min<uint32_t>(image.width(), INT_MAX));
    picture.imageHeight = int(std::min<uint32_t>(image.height(), INT_MAX));
    picture.fullWidth = fullExtent(image.width(), image.reduction());
    picture.fullHeight = fullExtent(image.height(), image.reduction());
    picture.text = oneLine(image.comment());

    measureSamples(image, picture);

    if (image.reduction() > 1)
        picture.note = formatString(oxGetTranslation("[Picture scaled to 1/%d.]"), image.reduction());
    if (image.width() > uint32_t(edgeLimit) || image.height() > uint32_t(edgeLimit))
        picture.note += oxGetTranslation(" [Picture is too large and has been cropped.]");
}
