#include "oxengine/image/colour/colourprofile.h"

#include "oxengine/image/image.h"
#include "oxengine/image/parallel.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// ---- profiles ------------------------------------------------------------------------

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* t) const
    {
        if (t) // a shared_ptr calls its deleter for null too
            cmsDeleteTransform(t);
    }
};
using Transform = std::shared_ptr<void>;

constexpr std::array<double, 8> SRGB_CHROMATICITIES = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
constexpr std::array<double, 8> BT2020_CHROMATICITIES = {0.3127, 0.3290, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046};
constexpr std::array<double, 8> P3_CHROMATICITIES = {0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};

// Transfer curves as Little CMS parametric curves of type 4:
// y = (a x + b)^g for x >= d, else c x.
constexpr double SRGB_CURVE[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
constexpr double BT709_CURVE[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};

bool near(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

bool sameChromaticities(const std::array<double, 8>& a, const std::array<double, 8>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (!near(a[i], b[i], 0.002))
            return false;
    return true;
}

const std::array<double, 8>* cicpPrimaries(int code)
{
    switch (code) {
    case 1:
        return &SRGB_CHROMATICITIES;
    case 9:
        return &BT2020_CHROMATICITIES;
    case 12:
        return &P3_CHROMATICITIES;
    default:
        return nullptr;
    }
}

const double* cicpCurve(int code)
{
    static const double LINEAR[5] = {1, 1, 0, 1, 0};
    switch (code) {
    case 13:
        return SRGB_CURVE;
    case 1:
    case 6:
    case 14:
    case 15:
        return BT709_CURVE;
    case 8:
        return LINEAR;
    default:
        return nullptr; // PQ, HLG and the rest are not handled
    }
}

Profile rgbProfile(const std::array<double, 8>& c, const double* curveParameters, double gamma)
{
    const cmsCIExyY white = {c[0], c[1], 1.0};
    const cmsCIExyYTRIPLE primaries = {{c[2], c[3], 1.0}, {c[4], c[5], 1.0}, {c[6], c[7], 1.0}};
    cmsToneCurve* curve = curveParameters ? cmsBuildParametricToneCurve(nullptr, 4, curveParameters)
                                          : cmsBuildGamma(nullptr, gamma);
    if (!curve)
        return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile p(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return p;
}

// What a description amounts to, before any profile is made.
enum class Kind { SRGB, ICC, CICP, GAMMA, CMYK_PLAIN, CMYK_ICC };

Kind kindOf(const oxColourSource& s)
{
    if (s.cmyk)
        return s.icc.empty() ? Kind::CMYK_PLAIN : Kind::CMYK_ICC;
    if (s.cicpPrimaries != 0 || s.cicpTransfer != 0) {
        if (s.cicpPrimaries == 1 && s.cicpTransfer == 13)
            return Kind::SRGB;
        if (cicpPrimaries(s.cicpPrimaries) && cicpCurve(s.cicpTransfer))
            return Kind::CICP;
        // Code points this program cannot follow: the next description.
    }
    if (!s.icc.empty())
        return Kind::ICC;
    if (s.srgbChunk)
        return Kind::SRGB;
    const bool srgbGamma = s.gamma <= 0 || near(s.gamma, 1 / 2.2, 0.003);
    const bool srgbPrimaries = !s.hasChromaticities || sameChromaticities(s.chromaticities, SRGB_CHROMATICITIES);
    if (srgbGamma && srgbPrimaries)
        return Kind::SRGB;
    return Kind::GAMMA;
}

// The source profile of a description that is not plain sRGB; null when
// it cannot be made.
Profile sourceProfile(const oxColourSource& s, Kind kind)
{
    switch (kind) {
    case Kind::ICC:
    case Kind::CMYK_ICC:
        return Profile(cmsOpenProfileFromMem(s.icc.data(), cmsUInt32Number(s.icc.size())));
    case Kind::CICP:
        return rgbProfile(*cicpPrimaries(s.cicpPrimaries), cicpCurve(s.cicpTransfer), 0);
    case Kind::GAMMA:
        return rgbProfile(s.hasChromaticities ? s.chromaticities : SRGB_CHROMATICITIES, s.gamma > 0 ? nullptr : SRGB_CURVE,
                          s.gamma > 0 ? 1 / s.gamma : 0);
    default:
        return Profile(cmsCreate_sRGBProfile());
    }
}

// ---- a fast path for matrix-shaper profiles ------------------------------------------

// Both profiles a curve per channel and a matrix (the common case: sRGB,
// Adobe RGB, Display P3 and most camera and display profiles): 8-bit pixels
// go through a table to linear light, one 3 x 3 matrix and a table back,
// several times faster than the library's general 8-bit path. The output
// table is indexed by the square root of linear light, so that the steep
// start of a gamma curve keeps its dark steps.
struct MatrixShaper {
    static constexpr int OUT = 4096;
    float in[3][256];
    float matrix[9];
    uint8_t out[3][OUT + 1];
};

bool invert(const double m[9], double r[9])
{
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (!(std::fabs(det) > 1e-12))
        return false;
    r[0] = (m[4] * m[8] - m[5] * m[7]) / det, r[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    r[2] = (m[1] * m[5] - m[2] * m[4]) / det, r[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    r[4] = (m[0] * m[8] - m[2] * m[6]) / det, r[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    r[6] = (m[3] * m[7] - m[4] * m[6]) / det, r[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    r[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return true;
}

// RGB to PCS XYZ (columns red, green, blue) and the three curves; false for
// a profile that is not a plain matrix-shaper RGB profile.
bool shaperOf(cmsHPROFILE p, double m[9], cmsToneCurve* curves[3], cmsTagSignature lutTag)
{
    if (cmsGetColorSpace(p) != cmsSigRgbData || !cmsIsMatrixShaper(p) || cmsIsTag(p, lutTag))
        return false;
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    const cmsTagSignature trcs[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(p, colorants[c]));
        curves[c] = static_cast<cmsToneCurve*>(cmsReadTag(p, trcs[c]));
        if (!xyz || !curves[c])
            return false;
        m[c] = xyz->X, m[3 + c] = xyz->Y, m[6 + c] = xyz->Z;
    }
    return true;
}

std::shared_ptr<const MatrixShaper> matrixShaper(cmsHPROFILE from, cmsHPROFILE to)
{
    double source[9], target[9], targetInverse[9];
    cmsToneCurve* in[3];
    cmsToneCurve* outCurves[3];
    if (!shaperOf(from, source, in, cmsSigAToB0Tag) || !shaperOf(to, target, outCurves, cmsSigBToA0Tag) ||
        !invert(target, targetInverse))
        return nullptr;
    // A hostile profile's numbers can be beyond what a float holds, or no
    // numbers at all: the library converts such pictures, not the fast path.
    const auto sane = [](double v) { return std::fabs(v) <= 1e6; }; // false for NaN
    auto shaper = std::make_shared<MatrixShaper>();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const double v = targetInverse[r * 3] * source[c] + targetInverse[r * 3 + 1] * source[3 + c] +
                             targetInverse[r * 3 + 2] * source[6 + c];
            if (!sane(v))
                return nullptr;
            shaper->matrix[r * 3 + c] = float(v);
        }
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            shaper->in[c][v] = cmsEvalToneCurveFloat(in[c], float(v) / 255.0f);
            if (!sane(shaper->in[c][v]))
                return nullptr;
        }
        cmsToneCurve* back = cmsReverseToneCurve(outCurves[c]);
        if (!back)
            return nullptr;
        for (int j = 0; j <= MatrixShaper::OUT; ++j) {
            const float root = float(j) / MatrixShaper::OUT;
            const float value = cmsEvalToneCurveFloat(back, root * root);
            const float encoded = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
            shaper->out[c][j] = uint8_t(std::lround(encoded * 255.0f));
        }
        cmsFreeToneCurve(back);
    }
    return shaper;
}

void runShaper(const MatrixShaper& s, unsigned char* p, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x, p += 4) {
        const float r = s.in[0][p[0]], g = s.in[1][p[1]], b = s.in[2][p[2]];
        for (int c = 0; c < 3; ++c) {
            const float v = s.matrix[c * 3] * r + s.matrix[c * 3 + 1] * g + s.matrix[c * 3 + 2] * b;
            const float root = std::sqrt(std::clamp(v, 0.0f, 1.0f));
            p[c] = s.out[c][int(root * MatrixShaper::OUT + 0.5f)];
        }
    }
}

// What converts a picture: the library's transform, and for 8-bit RGB
// between matrix-shaper profiles the fast path as well.
struct Conversion {
    Transform transform;
    std::shared_ptr<const MatrixShaper> shaper;
    explicit operator bool() const { return transform != nullptr; }
};

// ---- the display and the transforms kept for reuse ------------------------------------

uint64_t fnv(uint64_t h, const void* data, size_t n)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

uint64_t keyOf(const oxColourSource& s, Kind kind, cmsUInt32Number inputFormat)
{
    uint64_t h = 0xcbf29ce484222325ull;
    h = fnv(h, &kind, sizeof kind);
    h = fnv(h, &inputFormat, sizeof inputFormat);
    if (kind == Kind::ICC || kind == Kind::CMYK_ICC)
        return fnv(h, s.icc.data(), s.icc.size());
    const double numbers[3] = {s.gamma, double(s.cicpPrimaries), double(s.cicpTransfer)};
    h = fnv(h, numbers, sizeof numbers);
    return s.hasChromaticities ? fnv(h, s.chromaticities.data(), sizeof(double) * s.chromaticities.size()) : h;
}

class Colours {
public:
    static Colours& instance()
    {
        static Colours colours;
        return colours;
    }

    void setDisplay(std::vector<unsigned char> icc)
    {
        Profile probe(icc.empty() ? nullptr : cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
        const bool usable = probe && cmsGetColorSpace(probe.get()) == cmsSigRgbData;
        std::lock_guard<std::mutex> guard(m_lock);
        m_display = usable ? std::move(icc) : std::vector<unsigned char>();
        m_displayIsSrgb = !usable;
        m_cache.clear();
        ++m_generation;
    }

    bool displayIsSrgb()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_displayIsSrgb;
    }

    // The conversion from the source's colours to the display's; none when
    // the source's profile cannot be used for pixels of inputSpace.
    Conversion transform(const oxColourSource& s, Kind kind, cmsUInt32Number inputFormat, cmsUInt32Number outputFormat,
                        cmsColorSpaceSignature inputSpace)
    {
        const uint64_t key = keyOf(s, kind, inputFormat);
        std::vector<unsigned char> display;
        uint64_t generation = 0;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (size_t i = 0; i < m_cache.size(); ++i) {
                if (m_cache[i].key == key) {
                    std::rotate(m_cache.begin(), m_cache.begin() + long(i), m_cache.begin() + long(i) + 1);
                    return m_cache.front().conversion;
                }
            }
            display = m_display;
            generation = m_generation;
        }
        // Made outside the lock: the loader and a conversion may both ask.
        Profile from = sourceProfile(s, kind);
        Profile to(display.empty() ? cmsCreate_sRGBProfile()
                                   : cmsOpenProfileFromMem(display.data(), cmsUInt32Number(display.size())));
        if (!from || !to || cmsGetColorSpace(from.get()) != inputSpace)
            return {};
        // No cache of the last pixel: the transform is shared by threads.
        // The conversion runs in place and never writes the alpha byte, so
        // alpha stays without cmsFLAGS_COPY_ALPHA, which would cost the
        // library its fast 8-bit matrix path.
        Transform t(cmsCreateTransform(from.get(), inputFormat, to.get(), outputFormat, INTENT_PERCEPTUAL,
                                       cmsFLAGS_NOCACHE),
                    TransformDeleter());
        if (!t.get())
            return {};
        Conversion conversion{t, inputFormat == TYPE_RGBA_8 ? matrixShaper(from.get(), to.get()) : nullptr};
        std::lock_guard<std::mutex> guard(m_lock);
        if (generation != m_generation)
            return conversion; // made for a display profile replaced meanwhile: used once, not kept
        m_cache.insert(m_cache.begin(), Entry{key, conversion});
        if (m_cache.size() > CACHE_SIZE)
            m_cache.pop_back();
        return conversion;
    }

private:
    static constexpr size_t CACHE_SIZE = 8;
    struct Entry {
        uint64_t key;
        Conversion conversion;
    };

    std::mutex m_lock;
    std::vector<unsigned char> m_display;
    bool m_displayIsSrgb = true;
    std::vector<Entry> m_cache; // most recently used first
    uint64_t m_generation = 0;  // of the display profile
};

// ---- pixels ------------------------------------------------------------------------

// Each row in place; bands of rows on the image workers.
template <class RowWork> void forEachRow(oxImage& image, const RowWork& work)
{
    oxParallelFor(image.height(), image.width(), [&](size_t begin, size_t end) {
        for (size_t y = begin; y < end; ++y)
            work(image.rowData(uint32_t(y)));
        return true;
    });
}

// Ink to light without a profile: each ink darkens its own channel and black
// all three, as the usual simple conversion does.
void plainCmykToRgb(oxImage& image, bool inverted)
{
    const uint32_t width = image.width();
    forEachRow(image, [&](unsigned char* p) {
        for (uint32_t x = 0; x < width; ++x, p += 4) {
            const unsigned k = inverted ? p[3] : 255u - p[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned light = inverted ? p[c] : 255u - p[c];
                p[c] = static_cast<unsigned char>((light * k + 127) / 255);
            }
            p[3] = 255;
        }
    });
}

void run(oxImage& image, const Conversion& conversion, bool opaque)
{
    const cmsUInt32Number width = image.width();
    if (conversion.shaper) {
        forEachRow(image, [&](unsigned char* row) { runShaper(*conversion.shaper, row, width); });
        return;
    }
    forEachRow(image, [&](unsigned char* row) {
        cmsDoTransform(conversion.transform.get(), row, row, width);
        if (opaque) {
            for (cmsUInt32Number x = 0; x < width; ++x)
                row[size_t(x) * 4 + 3] = 255;
        }
    });
}

} // namespace

void oxConvertToDisplay(oxImage& image, const oxColourSource& source)
{
    if (image.empty())
        return;
    const oxSampleType type = image.sampleType();
    if (source.cmyk && type != ST_UINT8)
        return;
    if (type != ST_UINT8 && type != ST_UINT16)
        return;
    Kind kind = kindOf(source);
    Colours& colours = Colours::instance();
    if (kind == Kind::CMYK_ICC) {
        const Conversion t = colours.transform(source, kind, source.inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8,
                                               TYPE_RGBA_8, cmsSigCmykData);
        if (t) {
            run(image, t, true);
            return;
        }
        kind = Kind::CMYK_PLAIN; // a profile that does not fit: the simple way
    }
    if (kind == Kind::CMYK_PLAIN) {
        plainCmykToRgb(image, source.inverted);
        kind = Kind::SRGB;
    }
    if (kind == Kind::SRGB && colours.displayIsSrgb())
        return;
    const cmsUInt32Number format = type == ST_UINT8 ? TYPE_RGBA_8 : TYPE_RGBA_16;
    Conversion t = colours.transform(source, kind, format, format, cmsSigRgbData);
    if (!t && kind != Kind::SRGB && !colours.displayIsSrgb())
        t = colours.transform(oxColourSource(), Kind::SRGB, format, format, cmsSigRgbData);
    if (t)
        run(image, t, false);
}

void oxSetDisplayProfile(std::vector<unsigned char> icc)
{
    Colours::instance().setDisplay(std::move(icc));
}
