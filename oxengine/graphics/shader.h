// GLSL shader objects and programs on the ARB shader-object extensions.
// Every call needs a current GL context. Missing driver support, failed
// compilation and failed linking are thrown as oxShaderException subclasses
// whose message is what the user should see (the driver's log for the last two).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct oxShaderApi;
class oxShaderProgram;

// Fetches the entry points once per process. Throws oxShaderSupportException
// when the shader-object extensions are not announced or the driver withholds
// one of their functions; nothing is kept then, so the next call checks again.
void loadShaderExtensions();

// Whether the driver announces GL_ARB_fragment_shader (callers that draw
// without a shader when there is none ask this first).
bool fragmentShadersSupported();

// A compiled shader, owned by the program it is attached to.
class oxShaderObject {
public:
    virtual ~oxShaderObject();
    oxShaderObject(const oxShaderObject&) = delete;
    oxShaderObject& operator=(const oxShaderObject&) = delete;

    GLhandleARB handle() const { return m_handle; }

protected:
    // Loads the entry points (may throw) and creates the GL object.
    explicit oxShaderObject(GLenum type);
    // Throws oxShaderCompileException with the compile log.
    void compile(const std::string& source);

private:
    friend class oxShaderProgram;
    std::shared_ptr<const oxShaderApi> m_gl;
    GLhandleARB m_handle = 0;
};

class oxFragmentShader final : public oxShaderObject {
public:
    ~oxFragmentShader() override = default;

private:
    friend std::unique_ptr<oxFragmentShader> createFragmentShader(const std::string& source);
    oxFragmentShader();
};

// Compiles source as a fragment shader. Throws oxShaderSupportException
// without fragment-shader support and oxShaderCompileException with the log.
std::unique_ptr<oxFragmentShader> createFragmentShader(const std::string& source);

// A program linking shader objects. Attaching makes it unlinked; it is
// linked explicitly or on the next use.
class oxShaderProgram {
public:
    // Loads the entry points (may throw oxShaderSupportException).
    oxShaderProgram();
    // Detaches and deletes its shaders.
    ~oxShaderProgram();
    oxShaderProgram(const oxShaderProgram&) = delete;
    oxShaderProgram& operator=(const oxShaderProgram&) = delete;

    // The program owns the shader from now on. A null shader is ignored.
    void attachShader(std::unique_ptr<oxShaderObject> shader);

    // Links and returns the driver's log (often empty); throws
    // oxShaderLinkException with the log when linking fails.
    std::string link();
    // Links first unless linked, then binds the program. After a failed link
    // nothing changed, so the failure is thrown again without relinking.
    void use();
    // Binds program, or with null returns to fixed-function drawing (nothing
    // to do while no shader support was ever loaded).
    static void use(oxShaderProgram* program);
    static void unbind() { use(nullptr); }

    // Set a uniform of this program by name (binding it for the call if
    // another one is current); false when the program has no such uniform.
    bool setUniformFloat(const char* name, float value);
    bool setUniformInt(const char* name, int value);

    GLhandleARB handle() const { return m_handle; }
    bool isLinked() const { return m_state == LINKED; }

private:
    struct Attached {
        std::unique_ptr<oxShaderObject> shader;
        bool attached = false; // given to GL (happens at the next link)
    };
    enum State { UNLINKED, LINKED, LINK_FAILED };

    bool setUniform(const char* name, const std::function<void(GLint)>& set);

    std::shared_ptr<const oxShaderApi> m_gl;
    GLhandleARB m_handle = 0;
    State m_state = UNLINKED;
    std::string m_linkFailure; // message of the last failed link
    std::vector<Attached> m_shaders;
};

// Test seam: replaces the extension test and the GL procedure lookup (the
// defaults are isExtensionSupported and oxGetProcAddress) and forgets the
// loaded entry points; objects that exist keep the ones they were made with.
struct oxShaderDriverHooks {
    bool (*hasExtension)(const char* name) = nullptr;
    void* (*procAddress)(const char* name) = nullptr;
};
void oxOverrideShaderDriver(std::optional<oxShaderDriverHooks> hooks);
