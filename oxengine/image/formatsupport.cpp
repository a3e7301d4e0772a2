#include "oxengine/image/formatsupport.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/image/sampleconv.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

void oxCheckImageSize(uint64_t width, uint64_t height, int bytesPerPixel, const std::string& filename)
{
    if (!oxImage::sizeAllowed(width, height, uint64_t(bytesPerPixel)))
        throw oxImageException(oxImageTooLargeText(width, height), filename);
}

std::string oxImageTooLargeText(uint64_t width, uint64_t height)
{
    return formatString(oxGetTranslation("the picture is too large: %s × %s pixels"), std::to_string(width).c_str(),
                        std::to_string(height).c_str());
}

int oxDecodeReduction(const oxLoadOptions& options, uint64_t width, uint64_t height, int bytesPerPixel,
                      const oxOrientation& orientation, int largestFactor, uint64_t reducedPixelLimit,
                      const std::string& filename)
{
    oxSize seen(int32_t(std::min<uint64_t>(width, INT32_MAX)), int32_t(std::min<uint64_t>(height, INT32_MAX)));
    if (orientation.transpose)
        std::swap(seen.width, seen.height);
    const uint64_t budget =
        options.budget == 0 ? 0 : std::max<uint64_t>(1, orientation.identity() ? options.budget : options.budget / 2);
    const int forBudget = budgetFactor(width, height, bytesPerPixel, budget);
    if (forBudget > 1 && ((largestFactor > 0 && forBudget > largestFactor) ||
                          (reducedPixelLimit > 0 && width * height > reducedPixelLimit)))
        throw oxImageException(oxTooLargeForMemoryText(width, height, width * height * uint64_t(bytesPerPixel), budget),
                               filename);
    return std::max(forBudget, reductionFactor(seen, options.maximum));
}

std::string oxTooLargeForMemoryText(uint64_t width, uint64_t height, uint64_t needed, uint64_t budget)
{
    return formatString(oxGetTranslation("the picture is too large: %s × %s pixels need %s of memory, more than the %s "
                                         "one picture may take"),
                        std::to_string(width).c_str(), std::to_string(height).c_str(),
                        formatWithPrefix(double(needed), 1, "B").c_str(),
                        formatWithPrefix(double(budget), 1, "B").c_str());
}

oxImageRows::oxImageRows(const oxImage& image, oxSampleType target, const oxToneMapping& toneMapping)
    : m_image(image), m_target(target), m_toneMapping(toneMapping),
      m_toneMapped(toneMapping.appliesTo(target, image.sampleType()))
{
    if (m_toneMapped || image.sampleType() != target)
        m_row.resize(size_t(image.width()) * size_t(bytesPerPixel(target)));
    if (m_toneMapped)
        m_floats.resize(image.width());
}

const void* oxImageRows::row(uint32_t y)
{
    const unsigned char* source = m_image.rowData(y);
    const size_t n = m_image.width();
    if (m_toneMapped) {
        oxPixelsToFloat(source, m_image.sampleType(), m_floats.data(), n);
        oxToneMapPixels(m_floats.data(), n, m_toneMapping);
        oxPixelsFromFloat(m_floats.data(), m_row.data(), m_target, n);
        return m_row.data();
    }
    if (m_image.sampleType() == m_target)
        return source;
    oxConvertPixels(source, m_image.sampleType(), m_row.data(), m_target, n);
    return m_row.data();
}

oxStdioFile oxOpenForReading(const std::string& filename, const std::string& message)
{
    int error = 0;
    oxStdioFile file = oxOpenRegularStream(filename, "rb", error);
    if (!file)
        throw oxImageException(oxWithSystemReason(message, error), filename);
    return file;
}

long long oxOpenFileSize(std::FILE* file)
{
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long long>(st.st_size);
}

std::unique_ptr<oxImage> oxAsMeantToBeSeen(std::unique_ptr<oxImage> image, const oxColourSource& colours,
                                           const oxOrientation& orientation, const std::string& filename)
{
    oxConvertToDisplay(*image, colours);
    if (orientation.identity())
        return image;
    image = oxOrientedCopy(*image, orientation);
    if (!image)
        throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
    return image;
}
