#include "oxengine/graphics/fontmanager.h"

#include "oxengine/graphics/glyphcache.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/embedded.h"
#include "oxengine/core/errors.h"

#include <sys/stat.h>

#include <sstream>

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

GLFontManager::GLFontManager(std::string folder, EmbeddedLookup lookup)
    : m_folder(std::move(folder)), m_lookup(lookup ? lookup : findEmbeddedFile)
{
}

GLFontManager::~GLFontManager() = default;

GLFontManager& GLFontManager::instance()
{
    static GLFontManager manager;
    return manager;
}

void GLFontManager::clear()
{
    m_fonts.clear();
    m_embedded.clear();
    // The glyphs from the system's fonts go with the fonts' textures.
    oxGlyphCache::instance().releaseTexture();
}

GLFont* GLFontManager::font(const std::string& name)
{
    if (auto it = m_fonts.find(name); it != m_fonts.end())
        return it->second.get();

    std::string fileName = name + ".glf";
    const std::string prefix = m_folder.empty() ? std::string() : m_folder + "/";
    if (!isRegularFile(prefix + fileName))
        fileName = name + ".glfc";

    std::shared_ptr<GLFont> font;
    if (isRegularFile(prefix + fileName)) {
        auto loaded = std::make_shared<GLFont>();
        try {
            loaded->loadFontFile(prefix + fileName);
            font = std::move(loaded);
        } catch (const oxException& e) {
            // Met once; the text is then shown in the built-in font rather
            // than not at all.
            m_problems.push_back({oxGetTranslation("Error creating GLFont"), e.getMessage()});
        }
    }
    if (!font)
        font = embeddedFont(fileName);
    m_fonts[name] = font;
    return font.get();
}

std::shared_ptr<GLFont> GLFontManager::embeddedFont(const std::string& fileName)
{
    bool found = false;
    for (const char* candidate : {fileName.c_str(), "arial.glfc"}) {
        const oxEmbeddedFile* file = m_lookup(candidate);
        if (!file)
            continue;
        found = true;
        auto it = m_embedded.find(file);
        if (it == m_embedded.end()) {
            auto font = std::make_shared<GLFont>();
            try {
                std::istringstream in(std::string(reinterpret_cast<const char*>(file->data()), file->size()));
                font->loadFont(in, true);
            } catch (const oxException& e) {
                m_problems.push_back({oxGetTranslation("Error creating GLFont"), e.getMessage()});
                font.reset();
            }
            it = m_embedded.emplace(file, std::move(font)).first;
        }
        if (it->second)
            return it->second;
    }
    if (!found)
        m_problems.push_back({oxGetTranslation("GLFontManager Error"), oxGetTranslation("No fonts found at all.")});
    return nullptr;
}
