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

bool hasTransparency(const oxImage& image)
{
    if (image.components() != 4 || image.empty())
        return false;
    const size_t n = size_t(image.width()) * image.height();
    // Stops at the first pixel that is not opaque; most pictures with an
    // alpha channel show it early.
    switch (image.sampleType()) {
    case ST_UINT8: {
        const auto* p = static_cast<const oxColour*>(image.data());
        return std::any_of(p, p + n, [](const oxColour& c) { return c.a != 255; });
    }
    case ST_UINT16: {
        const auto* p = static_cast<const oxColourUInt16*>(image.data());
        return std::any_of(p, p + n, [](const oxColourUInt16& c) { return c.a != 65535; });
    }
    case ST_HALF: {
        const auto* p = static_cast<const oxColourHalf*>(image.data());
        return std::any_of(p, p + n, [](const oxColourHalf& c) { return !(float(c.a) >= 1.0f); });
    }
    default:
        return false;
    }
}

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
    picture.transparent = hasTransparency(image);

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
    if (!image.damage().empty()) {
        if (!picture.note.empty())
            picture.note += ' ';
        picture.note += formatString(oxGetTranslation("[damaged file: %s]"), image.damage().c_str());
    }
}
