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

    // The transform from the source's colours to the display's; null when the
    // source's profile cannot be used for pixels of inputSpace.
    Transform transform(const oxColourSource& s, Kind kind, cmsUInt32Number inputFormat, cmsUInt32Number outputFormat,
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
                    return m_cache.front().transform;
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
            return nullptr;
        // No cache of the last pixel: the transform is shared by threads.
        // The conversion runs in place and never writes the alpha byte, so
        // alpha stays without cmsFLAGS_COPY_ALPHA, which would cost the
        // library its fast 8-bit matrix path.
        Transform t(cmsCreateTransform(from.get(), inputFormat, to.get(), outputFormat, INTENT_PERCEPTUAL,
                                       cmsFLAGS_NOCACHE),
                    TransformDeleter());
        if (!t.get())
            return nullptr;
        std::lock_guard<std::mutex> guard(m_lock);
        if (generation != m_generation)
            return t; // made for a display profile replaced meanwhile: used once, not kept
        m_cache.insert(m_cache.begin(), Entry{key, t});
        if (m_cache.size() > CACHE_SIZE)
            m_cache.pop_back();
        return t;
    }

private:
    static constexpr size_t CACHE_SIZE = 8;
    struct Entry {
        uint64_t key;
        Transform transform;
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

void run(oxImage& image, const Transform& t, bool opaque)
{
    const cmsUInt32Number width = image.width();
    forEachRow(image, [&](unsigned char* row) {
        cmsDoTransform(t.get(), row, row, width);
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
        const Transform t = colours.transform(source, kind, source.inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8,
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
    Transform t = colours.transform(source, kind, format, format, cmsSigRgbData);
    if (!t && kind != Kind::SRGB && !colours.displayIsSrgb())
        t = colours.transform(oxColourSource(), Kind::SRGB, format, format, cmsSigRgbData);
    if (t)
        run(image, t, false);
}

void oxSetDisplayProfile(std::vector<unsigned char> icc)
{
    Colours::instance().setDisplay(std::move(icc));
}

bool oxDisplayIsSrgb()
{
    return Colours::instance().displayIsSrgb();
}
