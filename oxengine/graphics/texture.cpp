// Texture objects, their registry and reference counting, and the filter and
// wrap settings.
#include "oxengine/graphics/texture.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"

#include <GL/glext.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace {

// Name -> object. Names are unique within one share group; unrelated contexts
// may hand out the same name twice, hence a multimap.
struct Registry {
    std::mutex mutex;
    std::unordered_multimap<GLuint, oxTextureObject*> objects;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

oxTextureObject::oxTextureObject()
{
    initTextureSupport();
    glGenTextures(1, &m_name);
    if (m_name == 0)
        throw oxTextureException(oxGetTranslation("No OpenGL texture could be created (no rendering context?)."));
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.objects.emplace(m_name, this);
}

oxTextureObject::~oxTextureObject()
{
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto [first, last] = r.objects.equal_range(m_name);
        for (auto it = first; it != last; ++it)
            if (it->second == this) {
                r.objects.erase(it);
                break;
            }
    }
    glDeleteTextures(1, &m_name);
}

size_t oxLiveTextureCount()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.objects.size();
}

// ---- oxTexture2D -------------------------------------------------------------

void oxTexture2D::setWrap(GLenum mode)
{
    if (mode == GL_CLAMP_TO_EDGE && !textureCapabilities().versionAtLeast(1, 2))
        mode = GL_CLAMP;
    bind();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(mode));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(mode));
}

void oxTexture2D::setFilterQuality(int quality)
{
    bind();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(oxMinFilterForQuality(quality, hasMipmaps())));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(oxMagFilterForQuality(quality)));
    setAnisotropy(oxAnisotropyForQuality(quality, maxAnisotropy()));
}

void oxTexture2D::setAnisotropy(int value)
{
    const oxTextureCapabilities caps = textureCapabilities();
    if (!caps.anisotropic)
        return;
    // Values below 1 are a GL error; above the maximum they mean nothing more.
    value = std::clamp(value, 1, std::max(caps.maxAnisotropy, 1));
    bind();
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, GLfloat(value));
}

void oxTexture2D::bind()
{
    glBindTexture(GL_TEXTURE_2D, textureName());
}

// ---- oxTextureRef ------------------------------------------------------------

oxTextureRef::oxTextureRef(std::unique_ptr<oxTexture2D> texture) : m_texture(texture.release())
{
    if (m_texture)
        m_texture->m_references.fetch_add(1);
}

oxTextureRef::oxTextureRef(const oxTextureRef& other) : m_texture(other.m_texture)
{
    if (m_texture)
        m_texture->m_references.fetch_add(1);
}

oxTextureRef::oxTextureRef(oxTextureRef&& other) noexcept : m_texture(other.m_texture)
{
    other.m_texture = nullptr;
}

oxTextureRef& oxTextureRef::operator=(oxTextureRef other) noexcept
{
    std::swap(m_texture, other.m_texture);
    return *this;
}

oxTextureRef::~oxTextureRef()
{
    reset();
}

void oxTextureRef::reset()
{
    oxTexture2D* t = m_texture;
    m_texture = nullptr;
    if (t && t->m_references.fetch_sub(1) == 1)
        delete t;
}

// ---- parameters and the quality table ----------------------------------------------

void oxTextureParams::apply(oxTextureObject& texture) const
{
    if (hasWrap)
        texture.setWrap(wrap);
    if (hasFilterQuality)
        texture.setFilterQuality(filterQuality);
    if (hasAnisotropy)
        texture.setAnisotropy(anisotropy);
}

const oxTextureParams& defaultTextureParams()
{
    static const oxTextureParams none;
    return none;
}

GLenum oxMinFilterForQuality(int quality, bool mipmaps)
{
    switch (quality) {
    case 1:
        return mipmaps ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
    case 2:
    case 3:
    case 4:
        return mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
    default:
        return mipmaps ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
    }
}

GLenum oxMagFilterForQuality(int quality)
{
    return quality == 0 ? GL_NEAREST : GL_LINEAR;
}

int oxAnisotropyForQuality(int quality, int maxAnisotropy)
{
    switch (quality) {
    case 3:
        return std::max(maxAnisotropy / 2, 2);
    case 4:
        return maxAnisotropy;
    default:
        return 1;
    }
}

bool oxIsPowerOfTwo(uint32_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}
