// The exposure shader: maps the samples of high-dynamic-range textures to
// the screen through a black point, a white point, a gamma and a
// saturation. One per application, made on first use in the window's
// context; views without shader support draw the texture as it is.
#pragma once

#include <memory>

class oxShaderProgram;

// The four parameters as the sliders give them.
struct Exposure {
    double blackPoint = 0.0;
    double whitePoint = 1.0;
    double gamma = 1.0;
    double saturation = 1.0;
};

class ExposureShader {
public:
    ExposureShader();
    // Needs the context the program was made in (or one sharing it).
    ~ExposureShader();
    ExposureShader(const ExposureShader&) = delete;
    ExposureShader& operator=(const ExposureShader&) = delete;

    // Makes the shader current, creating it on first use; false when it
    // cannot be used. A failed creation is reported once in a message box
    // and not tried again.
    bool bind();
    // Sets the four uniforms; nothing without a program.
    void setExposure(float blackPoint, float whitePoint, float gamma, float saturation);
    void setExposure(const Exposure& e);
    // Back to fixed-function drawing.
    void unbind();

    bool exists() const { return m_program != nullptr; }
    bool hasFailed() const { return m_failed; }

    // The fragment program's source (texel c, uniforms vmin, vmax, vexp, vsat).
    static const char* source();

private:
    std::unique_ptr<oxShaderProgram> m_program;
    bool m_failed = false;
};
