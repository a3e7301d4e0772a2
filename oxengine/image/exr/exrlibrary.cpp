#include "oxengine/image/exr/exrlibrary.h"

#include "oxengine/core/strings.h"

#include <cstdlib>
#include <dlfcn.h>

namespace {

template <class F> bool find(void* handle, const char* symbol, F& function)
{
    function = reinterpret_cast<F>(dlsym(handle, symbol));
    return function != nullptr;
}

} // namespace

std::vector<std::string> oxExrLibrary::defaultNames()
{
    return {"libOpenEXR-3_1.so.30", "libOpenEXR-3_2.so.31", "libOpenEXR-3_3.so.32", "libOpenEXR-3_4.so.33",
            "libOpenEXR-3_0.so.29", "libOpenEXR.so", "libIlmImf-2_5.so.25", "libIlmImf.so"};
}

std::shared_ptr<const oxExrLibrary> oxExrLibrary::open(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        // NODELETE: the library keeps static objects and threads of its own
        // that must not be unmapped under them.
        void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle)
            continue;
        std::shared_ptr<oxExrLibrary> library(new oxExrLibrary);
        library->m_handle = handle;
        library->m_name = name;
        oxExrLibrary& l = *library;
        // The error text first: without it the library is not used at all.
        if (find(handle, "ImfErrorMessage", l.errorMessage) && find(handle, "ImfOpenInputFile", l.openInputFile) &&
            find(handle, "ImfCloseInputFile", l.closeInputFile) && find(handle, "ImfInputHeader", l.inputHeader) &&
            find(handle, "ImfInputChannels", l.inputChannels) &&
            find(handle, "ImfInputSetFrameBuffer", l.inputSetFrameBuffer) &&
            find(handle, "ImfInputReadPixels", l.inputReadPixels) &&
            find(handle, "ImfHeaderDataWindow", l.headerDataWindow) &&
            find(handle, "ImfHeaderStringAttribute", l.headerStringAttribute) &&
            find(handle, "ImfNewHeader", l.newHeader) && find(handle, "ImfDeleteHeader", l.deleteHeader) &&
            find(handle, "ImfHeaderSetDataWindow", l.headerSetDataWindow) &&
            find(handle, "ImfHeaderSetDisplayWindow", l.headerSetDisplayWindow) &&
            find(handle, "ImfHeaderSetStringAttribute", l.headerSetStringAttribute) &&
            find(handle, "ImfOpenOutputFile", l.openOutputFile) &&
            find(handle, "ImfCloseOutputFile", l.closeOutputFile) &&
            find(handle, "ImfOutputSetFrameBuffer", l.outputSetFrameBuffer) &&
            find(handle, "ImfOutputWritePixels", l.outputWritePixels) &&
            find(handle, "ImfHeaderDisplayWindow", l.headerDisplayWindow) &&
            find(handle, "ImfHeaderPixelAspectRatio", l.headerPixelAspectRatio) &&
            find(handle, "ImfHeaderCompression", l.headerCompression) &&
            find(handle, "ImfHeaderIntAttribute", l.headerIntAttribute) &&
            find(handle, "ImfHeaderV2fAttribute", l.headerV2fAttribute) &&
            find(handle, "ImfHeaderScreenWindowWidth", l.headerScreenWindowWidth) &&
            find(handle, "ImfCopyHeader", l.copyHeader) &&
            find(handle, "ImfHeaderSetPixelAspectRatio", l.headerSetPixelAspectRatio) &&
            find(handle, "ImfHeaderSetIntAttribute", l.headerSetIntAttribute) &&
            find(handle, "ImfHeaderSetV2fAttribute", l.headerSetV2fAttribute) &&
            find(handle, "ImfHeaderSetScreenWindowWidth", l.headerSetScreenWindowWidth) &&
            find(handle, "ImfOpenTiledOutputFile", l.openTiledOutputFile) &&
            find(handle, "ImfCloseTiledOutputFile", l.closeTiledOutputFile) &&
            find(handle, "ImfTiledOutputSetFrameBuffer", l.tiledOutputSetFrameBuffer) &&
            find(handle, "ImfTiledOutputWriteTiles", l.tiledOutputWriteTiles))
            return library;
        // ~oxExrLibrary closes this one; try the next name.
    }
    return nullptr;
}

std::shared_ptr<const oxExrLibrary> oxExrLibrary::process()
{
    static const std::shared_ptr<const oxExrLibrary> library = [] {
        const char* names = std::getenv("OX_EXR_LIBRARY");
        if (names)
            return open(splitString(names, ":"));
        return open(defaultNames());
    }();
    return library;
}

oxExrLibrary::~oxExrLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

std::string oxExrLibrary::lastError() const
{
    const char* text = errorMessage ? errorMessage() : nullptr;
    return text ? std::string(text) : std::string();
}
