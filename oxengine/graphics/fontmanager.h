// The font cache: hands out fonts by name, read from "<name>.glf" or
// "<name>.glfc" files or from the embedded files, with the built-in
// "arial.glfc" as the fallback for every name that cannot be had otherwise.
// It shows nothing: what goes wrong while loading waits in takeProblems for
// the caller to show.
#pragma once

#include "oxengine/graphics/glfont.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class oxEmbeddedFile;

// A font that could not be loaded (texts translated): a file or built-in font
// that is broken ("Error creating GLFont" with the reason), or no font at all
// ("GLFontManager Error").
struct oxFontProblem {
    std::string title;
    std::string message;
};

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
    // remembered too, so each problem is met once, not on every draw.
    GLFont* font(const std::string& name);
    void clear();
    // The problems met since the last call, in the order met.
    std::vector<oxFontProblem> takeProblems() { return std::exchange(m_problems, {}); }

    bool isCached(const std::string& name) const { return m_fonts.count(name) != 0; }

private:
    std::shared_ptr<GLFont> embeddedFont(const std::string& fileName);

    std::string m_folder;
    EmbeddedLookup m_lookup;
    std::map<std::string, std::shared_ptr<GLFont>> m_fonts;
    // Each embedded file is loaded once, however many names fall back to it.
    std::map<const oxEmbeddedFile*, std::shared_ptr<GLFont>> m_embedded;
    std::vector<oxFontProblem> m_problems;
};
