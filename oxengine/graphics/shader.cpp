#include "oxengine/graphics/shader.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>
#include <cctype>
#include <mutex>

// Only the functions of GL_ARB_shader_objects that the engine calls: the
// vertex-attribute ones belong to GL_ARB_vertex_shader, which is not checked,
// so requiring them would refuse drivers that can run fragment shaders.
#define OX_SHADER_ENTRY_POINTS(X)                                                                                      \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)                                                         \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)                                                       \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                                                                     \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                                                                     \
    X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)                                                                   \
    X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                                                                       \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)                                                         \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB)                                                     \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                                                                         \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)                                                             \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                                                                     \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                                                                     \
    X(PFNGLGETHANDLEARBPROC, glGetHandleARB)                                                                           \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                                                                           \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)

struct oxShaderApi {
#define OX_DECLARE_ENTRY(type, name) type name = nullptr;
    OX_SHADER_ENTRY_POINTS(OX_DECLARE_ENTRY)
#undef OX_DECLARE_ENTRY
};

namespace {

struct LoaderState {
    std::mutex mutex;
    oxShaderDriverHooks hooks{isExtensionSupported, oxGetProcAddress};
    std::shared_ptr<const oxShaderApi> api; // null until loaded
};

LoaderState& loader()
{
    static LoaderState s;
    return s;
}

bool hasExtension(const char* name)
{
    LoaderState& s = loader();
    std::lock_guard lock(s.mutex);
    return s.hooks.hasExtension(name);
}

[[noreturn]] void unsupported(const char* message)
{
    throw oxShaderSupportException(oxGetTranslation(message));
}

// A driver that announces the extension but withholds one of its functions
// cannot run shaders; callers then draw without them, as without the extension.
void* entryPoint(const oxShaderDriverHooks& hooks, const char* name)
{
    void* f = hooks.procAddress(name);
    if (!f)
        unsupported(N_("extension supported, but required function couldn't be found."));
    return f;
}

// The loaded entry points, loading them on first use.
std::shared_ptr<const oxShaderApi> shaderApi()
{
    LoaderState& s = loader();
    std::lock_guard lock(s.mutex);
    if (s.api)
        return s.api;
    if (!s.hooks.hasExtension("GL_ARB_shader_objects") || !s.hooks.hasExtension("GL_ARB_shading_language_100"))
        unsupported(N_("shader objects are not supported by your graphics hardware."));
    auto api = std::make_shared<oxShaderApi>();
#define OX_FETCH_ENTRY(type, name) api->name = reinterpret_cast<type>(entryPoint(s.hooks, #name));
    OX_SHADER_ENTRY_POINTS(OX_FETCH_ENTRY)
#undef OX_FETCH_ENTRY
    s.api = api;
    return s.api;
}

std::shared_ptr<const oxShaderApi> loadedApi()
{
    LoaderState& s = loader();
    std::lock_guard lock(s.mutex);
    return s.api;
}

// The info log of a shader or program, without the trailing line breaks.
// An empty log gets the fallback so the user never sees an empty message.
std::string infoLog(const oxShaderApi& gl, GLhandleARB object, const char* fallback)
{
    GLint length = 0;
    gl.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    std::string log;
    if (length > 1) {
        log.resize(size_t(length));
        GLsizei written = 0;
        gl.glGetInfoLogARB(object, length, &written, log.data());
        log.resize(size_t(std::clamp<GLsizei>(written, 0, length)));
    }
    while (!log.empty() && std::isspace(static_cast<unsigned char>(log.back())))
        log.pop_back();
    return log.empty() && fallback ? std::string(oxGetTranslation(fallback)) : log;
}

GLint objectParameter(const oxShaderApi& gl, GLhandleARB object, GLenum name)
{
    GLint value = 0;
    gl.glGetObjectParameterivARB(object, name, &value);
    return value;
}

} // namespace

void loadShaderExtensions()
{
    shaderApi();
}

bool fragmentShadersSupported()
{
    return hasExtension("GL_ARB_fragment_shader");
}

void oxOverrideShaderDriver(std::optional<oxShaderDriverHooks> hooks)
{
    LoaderState& s = loader();
    std::lock_guard lock(s.mutex);
    s.hooks = hooks.value_or(oxShaderDriverHooks{isExtensionSupported, oxGetProcAddress});
    s.api.reset();
}

// ---- shader objects ------------------------------------------------------------

oxShaderObject::oxShaderObject(GLenum type) : m_gl(shaderApi()), m_handle(m_gl->glCreateShaderObjectARB(type)) {}

oxShaderObject::~oxShaderObject()
{
    m_gl->glDeleteObjectARB(m_handle);
}

void oxShaderObject::compile(const std::string& source)
{
    const GLcharARB* text = source.c_str();
    m_gl->glShaderSourceARB(m_handle, 1, &text, nullptr);
    m_gl->glCompileShaderARB(m_handle);
    if (!objectParameter(*m_gl, m_handle, GL_OBJECT_COMPILE_STATUS_ARB))
        throw oxShaderCompileException(
            infoLog(*m_gl, m_handle, N_("The shader could not be compiled (the driver gave no reason).")));
}

oxFragmentShader::oxFragmentShader() : oxShaderObject(GL_FRAGMENT_SHADER_ARB) {}

std::unique_ptr<oxFragmentShader> createFragmentShader(const std::string& source)
{
    if (!fragmentShadersSupported())
        unsupported(N_("fragment shaders are not supported by your graphics hardware."));
    loadShaderExtensions();
    std::unique_ptr<oxFragmentShader> shader(new oxFragmentShader());
    shader->compile(source);
    return shader;
}

// ---- programs ------------------------------------------------------------------

oxShaderProgram::oxShaderProgram() : m_gl(shaderApi()), m_handle(m_gl->glCreateProgramObjectARB()) {}

oxShaderProgram::~oxShaderProgram()
{
    for (const Attached& a : m_shaders)
        if (a.attached)
            m_gl->glDetachObjectARB(m_handle, a.shader->m_handle);
    m_shaders.clear();
    // GL keeps a deleted program running while it is current; drawing after
    // its owner is gone returns to fixed function instead.
    if (m_gl->glGetHandleARB(GL_PROGRAM_OBJECT_ARB) == m_handle)
        m_gl->glUseProgramObjectARB(0);
    m_gl->glDeleteObjectARB(m_handle);
}

void oxShaderProgram::attachShader(std::unique_ptr<oxShaderObject> shader)
{
    if (!shader)
        return;
    m_state = UNLINKED;
    m_shaders.push_back({std::move(shader)});
}

std::string oxShaderProgram::link()
{
    m_state = UNLINKED;
    for (Attached& a : m_shaders)
        if (!a.attached) {
            m_gl->glAttachObjectARB(m_handle, a.shader->m_handle);
            a.attached = true;
        }
    m_gl->glLinkProgramARB(m_handle);
    const bool linked = objectParameter(*m_gl, m_handle, GL_OBJECT_LINK_STATUS_ARB) != 0;
    const char* fallback = N_("The shader program could not be linked (the driver gave no reason).");
    std::string log = infoLog(*m_gl, m_handle, linked ? nullptr : fallback);
    if (!linked) {
        m_state = LINK_FAILED;
        m_linkFailure = log;
        throw oxShaderLinkException(log);
    }
    m_state = LINKED;
    return log;
}

void oxShaderProgram::use()
{
    // Relinking the same shaders would fail the same way, at every frame.
    if (m_state == LINK_FAILED)
        throw oxShaderLinkException(m_linkFailure);
    if (m_state == UNLINKED)
        link();
    m_gl->glUseProgramObjectARB(m_handle);
}

void oxShaderProgram::use(oxShaderProgram* program)
{
    if (program)
        program->use();
    else if (const auto gl = loadedApi())
        gl->glUseProgramObjectARB(0);
}

bool oxShaderProgram::setUniform(const char* name, const std::function<void(GLint)>& set)
{
    if (!name)
        return false;
    // Uniform locations belong to one program; setting them while another is
    // current would change that one's uniforms.
    const GLhandleARB current = m_gl->glGetHandleARB(GL_PROGRAM_OBJECT_ARB);
    if (current != m_handle || m_state != LINKED)
        use();
    const GLint location = m_gl->glGetUniformLocationARB(m_handle, name);
    if (location >= 0)
        set(location);
    if (current != m_handle)
        m_gl->glUseProgramObjectARB(current);
    return location >= 0;
}

bool oxShaderProgram::setUniformFloat(const char* name, float value)
{
    return setUniform(name, [&](GLint location) { m_gl->glUniform1fARB(location, value); });
}

bool oxShaderProgram::setUniformInt(const char* name, int value)
{
    return setUniform(name, [&](GLint location) { m_gl->glUniform1iARB(location, value); });
}
