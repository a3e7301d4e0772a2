#include "imagetest.h"

#include "oxengine/image/parallel.h"

#include <cmath>

namespace {

double weight(int filter, double x)
{
    return oxChooseFilter(filter, 1, 1, 1, 1).weight(x);
}

// One row of half values (exact inputs for hand-worked cases), resampled; the red values of the result.
std::vector<float> resampledRow(std::initializer_list<float> values, int width, int filter)
{
    auto row = imageOf<oxColourHalf>(uint32_t(values.size()), 1, [&](uint32_t x, uint32_t) {
        const float v = values.begin()[x];
        return oxColourHalf(v, v, v, 1.0f);
    });
    auto result = row->resampledCopy(width, 1, filter);
    std::vector<float> red;
    for (uint32_t x = 0; x < result->width(); ++x)
        red.push_back(static_cast<const oxImageHalf&>(*result).at(x, 0).r.toFloat());
    return red;
}

float half(double v)
{
    return oxHalf(float(v)).toFloat();
}

template <class T> class Resampling : public testing::Test {};
TYPED_TEST_SUITE(Resampling, ImageTypes);

} // namespace

// The program always asks for the automatic choice: Lanczos 3 or Mitchell.
TEST(Filters, KernelsChoiceThreadsAndRefusals)
{
    // The comparison of each piece decides the value exactly on its boundary.
    struct Case {
        int filter;
        double x, value;
    } cases[] = {{IF_LANCZOS3, 3.0, 0.0},
                 {IF_LANCZOS3, 1.5, 3 * std::sin(1.5 * M_PI) * std::sin(1.5 * M_PI / 3) / std::pow(1.5 * M_PI, 2)},
                 {IF_MITCHELL, 0.0, 16.0 / 18}, {IF_MITCHELL, 1.0, 1.0 / 18}, {IF_MITCHELL, 2.0, 0.0}};
    for (const Case& c : cases)
        EXPECT_NEAR(weight(c.filter, c.x), c.value, 1e-15) << "filter " << c.filter << " at " << c.x;
    // A wrong coefficient inside a piece breaks this; Lanczos only approximates it.
    for (int filter : {IF_LANCZOS3, IF_MITCHELL})
        for (double offset : {0.0, 0.1, 0.25, 0.4, 0.75, 0.9}) {
            const int radius = int(oxChooseFilter(filter, 1, 1, 1, 1).radius) + 2;
            double sum = 0;
            for (int j = -radius; j <= radius; ++j)
                sum += weight(filter, offset + j);
            EXPECT_NEAR(sum, 1.0, filter == IF_LANCZOS3 ? 0.02 : 1e-12) << filter << " " << offset;
        }
    // Automatic: Lanczos 3 for reductions (source sums at least the target's), Mitchell otherwise and for unknown codes.
    const auto lanczos = oxChooseFilter(IF_LANCZOS3, 1, 1, 1, 1).weight;
    const auto mitchell = oxChooseFilter(IF_MITCHELL, 1, 1, 1, 1).weight;
    EXPECT_EQ(std::vector({oxChooseFilter(IF_AUTO, 100, 100, 50, 50).weight, oxChooseFilter(IF_AUTO, 100, 100, 150, 50).weight,
                           oxChooseFilter(IF_AUTO, 100, 100, 151, 50).weight, oxChooseFilter(99, 10, 10, 5, 5).weight,
                           oxChooseFilter(-1, 10, 10, 50, 50).weight}),
              std::vector({lanczos, lanczos, mitchell, lanczos, mitchell}));
    auto image = patternImage<oxColour>(40, 30);
    EXPECT_TRUE(samePixels(*image->resampledCopy(17, 9, IF_AUTO), *image->resampledCopy(17, 9, IF_LANCZOS3)));
    EXPECT_TRUE(samePixels(*image->resampledCopy(77, 31, 200), *image->resampledCopy(77, 31, IF_MITCHELL)));

    // The results do not depend on the thread count.
    auto halves = imageOf<oxColourHalf>(1500, 1100, [](uint32_t x, uint32_t y) {
        return oxColourHalf(float((x * 7 + y * 3) % 256) / 100, float(x % 17) / 16, float((x ^ y) & 255) / 255, 1.0f);
    });
    const auto results = [&](unsigned threads) {
        ImageThreads use(threads);
        std::vector<std::unique_ptr<oxImage>> r;
        for (const auto& [w, h, filter] : {std::tuple(701, 333, IF_LANCZOS3), {1920, 1300, IF_MITCHELL},
                                           {64, 2, IF_AUTO}, {3, 700, IF_AUTO}})
            r.push_back(halves->resampledCopy(w, h, filter));
        r.push_back(halves->rotatedCopy(1));
        r.push_back(halves->rotatedCopy(3));
        r.push_back(std::make_unique<oxImageUInt8>());
        r.back()->convertFrom(*halves, oxToneMapping::neutral());
        r.push_back(halves->clone());
        r.back()->flipHorizontal();
        return r;
    };
    const auto one = results(1), many = results(5);
    for (size_t i = 0; i < one.size(); ++i)
        EXPECT_TRUE(one[i] && samePixels(*one[i], *many[i])) << i;

    // No half-pixel offset: target i is centred on source 2i. The box of
    // support 1 takes both ends (a <= 0.5), so target 1 averages sources 1..3.
    EXPECT_EQ(resampledRow({0.0f, 0.25f, 0.5f, 1.0f}, 2, IF_BOX), std::vector({half(0.125), half(1.75 / 3)}));
    // Triangle of support 2: weights 1, 0.5 around 0; 0.5, 1, 0.5 around 2.
    EXPECT_EQ(resampledRow({0.0f, 0.25f, 0.5f, 1.0f}, 2, IF_TRIANGLE), std::vector({half(0.125 / 1.5), half(0.5625)}));
    // A zero weight is dropped, not multiplied: 0 × infinity would give NaN.
    // Target 0 is centred on source 0 with support 2: sources 0 and 1 only.
    const std::vector<float> inf = resampledRow({0.5f, 0.5f, 0.5f, INFINITY, 0.5f, 0.5f}, 3, IF_TRIANGLE);
    EXPECT_TRUE(inf[0] == 0.5f && std::isinf(inf[1]));
    // The picture information, the reduction, and refused requests.
    image = patternImage<oxColour>(1000, 600);
    image->setComment("c"), image->setComponents(1);
    auto small = image->resampledCopy(250, 150, IF_BOX);
    EXPECT_EQ(std::tuple(small->reduction(), small->comment(), small->components()), std::tuple(4, "c", 1));
    EXPECT_EQ(image->resampledCopy(300, 300, IF_BOX)->reduction(), 3); // max(1000/300, 600/300)
    image->setReduction(2); // enlarging keeps the reduction the picture had
    EXPECT_EQ(image->resampledCopy(2000, 1200, IF_TRIANGLE)->reduction(), 2);
    EXPECT_FALSE(image->resampledCopy(0, 5, IF_BOX) || image->resampledCopy(5, -1, IF_BOX) ||
                 oxImageUInt8().resampledCopy(5, 5, IF_BOX) ||
                 oxResampleRows(nullptr, ST_UINT8, 4, 4, image->data(), 2, 2, IF_BOX));
    PixelLimit limit(1000);
    EXPECT_FALSE(image->resampledCopy(40, 40, IF_BOX));
    EXPECT_TRUE(image->resampledCopy(40, 25, IF_BOX));
}

TYPED_TEST(Resampling, SameSizeCopiesUniformPicturesKeepTheirColourRowsAndColumnsAgree)
{
    using T = TypeParam;
    auto pattern = patternImage<T>(13, 7);
    const T colour = oxConvertPixel<T>(oxColour(201, 77, 3, 128));
    auto image = oxImageImpl<T>::create(37, 23);
    image->fill(oxColourValue(colour));
    for (int filter : {IF_LANCZOS3, IF_MITCHELL, IF_AUTO}) {
        EXPECT_TRUE(samePixels(*pattern->resampledCopy(13, 7, filter), *pattern)) << filter;
        for (const oxSize& s : {oxSize(10, 7), oxSize(5, 23), oxSize(37, 4), oxSize(1, 1), oxSize(90, 50), oxSize(3, 100)})
            EXPECT_TRUE(samePixels(*image->resampledCopy(s.width, s.height, filter),
                                   *imageOf<T>(s.width, s.height, [&](uint32_t, uint32_t) { return colour; })))
                << "filter " << filter << " to " << s.width << "x" << s.height;
    }

    // The two passes are the same one-dimensional filter: a column and the row
    // made of the same values resample to the same values.
    auto row = imageOf<T>(50, 1, [](uint32_t x, uint32_t) {
        return oxColour(uint8_t(x * 5), uint8_t(250 - x * 3), uint8_t(x * x % 256), 255);
    });
    auto column = row->rotatedCopy(1);
    for (int filter : {IF_LANCZOS3, IF_MITCHELL})
        for (int size : {1, 7, 20, 49, 64, 120})
            EXPECT_TRUE(samePixels(*row->resampledCopy(size, 1, filter)->rotatedCopy(1),
                                   *column->resampledCopy(1, size, filter)))
                << filter << " " << size;
}
