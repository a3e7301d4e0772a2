// What the PNG, TGA, EXR and GIF/BMP handlers share: the size check every
// decoder makes before it allocates, and the rows of an image as a writer
// needs them (converted, or tone-mapped, to the file's sample type).
#pragma once

#include "oxengine/core/regularfile.h"
#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/image/image.h"
#include "oxengine/image/orientation.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Throws oxImageException for filename unless a width × height image of
// bytesPerPixel-byte pixels is one the image model accepts (no overflow,
// within the pixel limit): "the picture is too large: W × H pixels".
void oxCheckImageSize(uint64_t width, uint64_t height, int bytesPerPixel, const std::string& filename);
// That message alone, translated.
std::string oxImageTooLargeText(uint64_t width, uint64_t height);

// How much a decoder reduces a width × height picture of bytesPerPixel-byte
// pixels while it decodes: by the larger factor of what options.maximum and
// options.budget ask for. The maximum is meant for the picture as it is seen
// (turned by orientation); a turned picture is copied once decoded, so it
// gets half the budget. A picture that needs a larger factor than
// largestFactor (0: any; 1 for a decoder that cannot reduce) to keep the
// budget, or that needs any and has more than reducedPixelLimit pixels (0:
// no limit; what the decoder reads reduced in a few seconds), is refused:
// oxImageException with oxTooLargeForMemoryText.
int oxDecodeReduction(const oxLoadOptions& options, uint64_t width, uint64_t height, int bytesPerPixel,
                      const oxOrientation& orientation, int largestFactor, uint64_t reducedPixelLimit,
                      const std::string& filename);
// "the picture is too large: W × H pixels need N of memory, more than the B
// one picture may take", translated.
std::string oxTooLargeForMemoryText(uint64_t width, uint64_t height, uint64_t needed, uint64_t budget);

// Row y of an image in the sample type a writer wants. The rows are the
// image's own when the types match and the tone mapping does not apply;
// otherwise each row is converted (or tone-mapped by the tone mapping's
// rule for this pair of types) into a buffer of one row, valid until the
// next call.
class oxImageRows {
public:
    oxImageRows(const oxImage& image, oxSampleType target, const oxToneMapping& toneMapping);
    oxImageRows(const oxImageRows&) = delete;
    oxImageRows& operator=(const oxImageRows&) = delete;

    const void* row(uint32_t y);
    bool toneMapped() const { return m_toneMapped; }

private:
    const oxImage& m_image;
    const oxSampleType m_target;
    const oxToneMapping m_toneMapping;
    const bool m_toneMapped;
    std::vector<unsigned char> m_row;
    std::vector<oxColourFloat> m_floats;
};

// Opens the file for reading when it is a regular file (oxOpenRegularFile).
// When it cannot be opened, throws an oxImageException with the handler's
// (translated) message followed by the reason ("not a regular file" for a
// FIFO or a device), so that a missing or unreadable file is not taken for a
// damaged one.
oxStdioFile oxOpenForReading(const std::string& filename, const std::string& message);

// The size of an open file, or -1.
long long oxOpenFileSize(std::FILE* file);

// A decoded picture as its file means it to be seen: converted to the
// display's colours and turned upright (a new image when it turns). Throws
// oxImageException for filename when the turned copy cannot be allocated.
std::unique_ptr<oxImage> oxAsMeantToBeSeen(std::unique_ptr<oxImage> image, const oxColourSource& colours,
                                           const oxOrientation& orientation, const std::string& filename);
