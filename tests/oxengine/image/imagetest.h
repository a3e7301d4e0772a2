// Helpers shared by the tests of the image model and its format handlers.
#pragma once

#include "oxengine/core/errors.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/image.h"
#include "oxengine/image/sampleconv.h"
#include "support/switches.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using ImageTypes = testing::Types<oxColour, oxColourHalf, oxColourUInt16>;

// A pixel that differs for every (x, y) of a small picture, in any type.
template <class T> T patternPixel(uint32_t x, uint32_t y)
{
    return oxConvertPixel<T>(oxColour(uint8_t(x * 7 + 1), uint8_t(y * 13 + 2), uint8_t((x ^ y) + 40), uint8_t(200 + x)));
}

template <class T> std::unique_ptr<oxImageImpl<T>> patternImage(uint32_t w, uint32_t h)
{
    return imageOf<T>(w, h, patternPixel<T>);
}

inline bool samePixels(const oxImage& a, const oxImage& b)
{
    return a.size() == b.size() && a.sampleType() == b.sampleType() &&
           (a.byteSize() == 0 || std::memcmp(a.data(), b.data(), a.byteSize()) == 0);
}

// The message of the oxImageException fn throws ("" when it throws none).
template <class Fn> std::string imageError(Fn&& fn)
{
    return thrownMessage<oxImageException>(fn);
}

// Writes bytes to file, then the message of load(file)'s failure ("" when it loads).
template <class Load> std::string loadError(const std::string& file, const std::string& bytes, Load load)
{
    EXPECT_TRUE(writeFile(file, bytes));
    return imageError([&] { load(file); });
}

// The file's own status (a link's, not its target's).
inline struct stat statOf(const std::string& path)
{
    struct stat st{};
    lstat(path.c_str(), &st);
    return st;
}

// Quarter turns and, when given, a new comment.
inline oxImageTransform transformOf(int rotation, std::optional<std::string> comment = std::nullopt)
{
    return {rotation, comment.has_value(), comment.value_or("")};
}

inline std::string corpusFile(const std::string& name)
{
    return std::string(OX_SHARED_DIR) + "/corpus/" + name;
}

inline std::string le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// The handler's image of path as an image of pixel type T (which it must be).
template <class T> std::unique_ptr<oxImageImpl<T>> loadAs(const oxImageHandler& handler, const std::string& path)
{
    std::unique_ptr<oxImage> image = handler.loadImage(path, oxSize());
    EXPECT_EQ(image->sampleType(), oxSampleTraits<T>::type);
    if (image->sampleType() != oxSampleTraits<T>::type)
        return nullptr;
    return std::unique_ptr<oxImageImpl<T>>(static_cast<oxImageImpl<T>*>(image.release()));
}
