// The font cache: hands out fonts by name, read from "<name>.glf" or
// "<name>.glfc" files or from the embedded files, with the built-in
// "arial.glfc" as the fallback for every name that cannot be had otherwise.
#pragma once

#include "oxengine/graphics/glfont.h"

#include <map>
#include <memory>
#include <string>

class oxEmbeddedFile;

class GLFontManager {
public:
    using EmbeddedLookup = const oxEmbeddedFile* (*)(const char* name);

    // Font files are looked for in folder (empty: the working folder),
    // embedded ones through lookup.
    explicit GLFontManager(std::string folder = std::string(), EmbeddedLookup lookup = nullptr);
    ~GLFontManager();
    GLFontManager(const GLFontManager&) = delete;
    GLFontManager& operator=(const GLFontManager&) = delete;

    // The process-wide cache.
    static GLFontManager& instance();
    static GLFont* getFont(const std::string& name) { return instance().font(name); }
    // Destroys every cached font; call while the OpenGL context still exists.
    static void releaseAll() { instance().clear(); }

    // The font cached under name (compared exactly), loading it first. Null
    // only when not even the built-in font can be had; that outcome is
    // remembered too, so the user is told once, not on every draw.
    GLFont* font(const std::string& name);
    void clear();

    bool isCached(const std::string& name) const { return m_fonts.count(name) != 0; }
    size_t cachedCount() const { return m_fonts.size(); }

private:
    std::shared_ptr<GLFont> embeddedFont(const std::string& fileName);

    std::string m_folder;
    EmbeddedLookup m_lookup;
    std::map<std::string, std::shared_ptr<GLFont>> m_fonts;
    // Each embedded file is loaded once, however many names fall back to it.
    std::map<const oxEmbeddedFile*, std::shared_ptr<GLFont>> m_embedded;
};
