// The resampling kernels. Where a kernel compares strictly or not at a piece
// boundary, that comparison decides the value exactly on the boundary.
#include "oxengine/image/resample.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace {

constexpr double PI = std::numbers::pi;

double bell(double x)
{
    const double a = std::fabs(x);
    if (a < 0.5)
        return 0.75 - a * a;
    if (a < 1.5)
        return 0.5 * (a - 1.5) * (a - 1.5);
    return 0.0;
}

double box(double x)
{
    return std::fabs(x) <= 0.5 ? 1.0 : 0.0;
}

double catmullRom(double x)
{
    const double a = std::fabs(x);
    if (a <= 1.0)
        return 1.5 * a * a * a - 2.5 * a * a + 1.0;
    if (a <= 2.0)
        return (2.5 - 0.5 * a) * a * a - 4.0 * a + 2.0;
    return 0.0;
}

double hann(double x)
{
    if (x >= -1.0 && x <= 1.0)
        return (std::cos(PI * x) + 1.0) / 2.0;
    return 0.0;
}

double cubic3(double x)
{
    const double a = std::fabs(x);
    if (a <= 1.0)
        return (4.0 / 3.0) * a * a * a - (7.0 / 3.0) * a * a + 1.0;
    if (a <= 2.0)
        return (3.0 - (7.0 / 12.0) * a) * a * a - (59.0 / 12.0) * a + 2.5;
    if (a <= 3.0)
        return (1.0 / 12.0) * a * a * a - (2.0 / 3.0) * a * a + 1.75 * a - 1.5;
    return 0.0;
}

double bspline(double x)
{
    const double a = std::fabs(x);
    if (a < 1.0)
        return 0.5 * a * a * a - a * a + 2.0 / 3.0;
    if (a < 2.0) {
        const double t = 2.0 - a;
        return t * t * t / 6.0;
    }
    return 0.0;
}

double hermite(double x)
{
    const double a = std::fabs(x);
    if (a < 1.0)
        return (2.0 * a - 3.0) * a * a + 1.0;
    return 0.0;
}

template <int Lobes> double lanczos(double x)
{
    const double a = std::fabs(x);
    if (a == 0.0)
        return 1.0;
    if (a < Lobes) {
        const double pa = PI * a;
        return Lobes * std::sin(pa) * std::sin(pa / Lobes) / (pa * pa);
    }
    return 0.0;
}

double mitchell(double x)
{
    const double a = std::fabs(x);
    if (a < 1.0)
        return (7.0 * a * a * a - 12.0 * a * a + 16.0 / 3.0) / 6.0;
    if (a < 2.0)
        return (-(7.0 / 3.0) * a * a * a + 12.0 * a * a - 20.0 * a + 32.0 / 3.0) / 6.0;
    return 0.0;
}

double quadraticInterpolating(double x)
{
    const double a = std::fabs(x);
    if (a <= 0.5)
        return 1.0 - 2.0 * a * a;
    if (a <= 1.5)
        return a * a - 2.5 * a + 1.5;
    return 0.0;
}

double quadraticApproximating(double x)
{
    const double a = std::fabs(x);
    if (a <= 0.5)
        return 0.75 - a * a;
    if (a <= 1.5)
        return 0.5 * a * a - 1.5 * a + 1.125;
    return 0.0;
}

double triangle(double x)
{
    const double a = std::fabs(x);
    return a < 1.0 ? 1.0 - a : 0.0;
}

constexpr oxFilterKernel KERNELS[] = {
    {bell, 1.5},        {box, 0.5},      {catmullRom, 2.0}, {hann, 1.0},
    {cubic3, 3.0},      {bspline, 2.0},  {hermite, 1.0},    {lanczos<3>, 3.0},
    {lanczos<8>, 8.0},  {mitchell, 2.0}, {quadraticInterpolating, 1.5},
    {quadraticApproximating, 1.5},       {triangle, 1.0},
};
static_assert(std::size(KERNELS) == IF_AUTO);

} // namespace

oxFilterKernel oxChooseFilter(int filter, int srcWidth, int srcHeight, int dstWidth, int dstHeight)
{
    if (filter >= 0 && filter < IF_AUTO)
        return KERNELS[filter];
    const bool shrinking = int64_t(dstWidth) + dstHeight <= int64_t(srcWidth) + srcHeight;
    return KERNELS[shrinking ? IF_LANCZOS3 : IF_MITCHELL];
}
