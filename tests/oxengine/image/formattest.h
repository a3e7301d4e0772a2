// Helpers shared by the tests of the PNG, TGA, EXR and GIF/BMP handlers.
#pragma once

#include "imagetest.h"

#include "oxengine/errors.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <string>

// The message of the oxImageException fn throws ("" when it throws none).
template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
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
