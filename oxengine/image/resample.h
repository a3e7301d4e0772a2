// Separable filtered resampling of pixel rectangles.
#pragma once

#include "oxengine/image/sampletypes.h"

// Filter codes of resampledCopy.
enum oxImageFilter : int32_t {
    IF_BELL = 0,                     // quadratic, radius 1.5
    IF_BOX = 1,                      // radius 0.5
    IF_CATMULL_ROM = 2,              // radius 2
    IF_HANN = 3,                     // raised cosine, radius 1
    IF_CUBIC_3 = 4,                  // three-lobed cubic, radius 3
    IF_BSPLINE = 5,                  // cubic B-spline, radius 2
    IF_HERMITE = 6,                  // radius 1
    IF_LANCZOS3 = 7,                 // radius 3
    IF_LANCZOS8 = 8,                 // radius 8
    IF_MITCHELL = 9,                 // B = C = 1/3, radius 2
    IF_QUADRATIC_INTERPOLATING = 10, // radius 1.5
    IF_QUADRATIC_APPROXIMATING = 11, // radius 1.5
    IF_TRIANGLE = 12,                // radius 1
    IF_AUTO = 13,                    // this and every higher (or negative) code
};

struct oxFilterKernel {
    double (*weight)(double x);
    double radius;
};

// The kernel of a code; IF_AUTO and beyond pick Lanczos 3 when the target is
// not larger than the source (width + height), Mitchell otherwise.
oxFilterKernel oxChooseFilter(int filter, int srcWidth, int srcHeight, int dstWidth, int dstHeight);

// Resamples srcWidth × srcHeight pixels into dstWidth × dstHeight pixels of
// the same sample type (horizontal pass first, float intermediates, double
// sums). False when a size is 0 or below, a buffer is missing or memory
// runs out; the target is then undefined.
bool oxResampleRows(const void* source, oxSampleType type, int srcWidth, int srcHeight, void* target, int dstWidth,
                    int dstHeight, int filter);

template <class T>
bool resampleRows(const T* source, int srcWidth, int srcHeight, T* target, int dstWidth, int dstHeight, int filter)
{
    return oxResampleRows(source, oxSampleTraits<T>::type, srcWidth, srcHeight, target, dstWidth, dstHeight, filter);
}
