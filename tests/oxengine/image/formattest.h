// Helpers shared by the tests of the image handlers.
#pragma once

#include "imagetest.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// The message of the oxImageException fn throws ("" when it throws none);
// withFile adds " / " and the file the exception names.
template <class Fn> std::string imageError(Fn&& fn, bool withFile = false)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage() + (withFile ? " / " + e.getFilename() : "");
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

// Every name in the folder, hidden ones included, sorted.
inline std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
