#include "app/views/exposureshader.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/shader.h"
#include "oxengine/platform/messagebox.h"

// The channels are scaled between the black and the white point, raised to
// the gamma and mixed with their luminance by the saturation; alpha passes.
// A white point at or below the black point would divide by zero or flip
// the sign, and a channel below the black point has no fractional power:
// both are limited so that no pixel turns into NaN.
const char* ExposureShader::source()
{
    return "uniform sampler2D tex;\n"
           "uniform float vmin;\n"
           "uniform float vmax;\n"
           "uniform float vexp;\n"
           "uniform float vsat;\n"
           "void main()\n"
           "{\n"
           "    vec4 c = texture2D(tex, gl_TexCoord[0].xy);\n"
           "    float s = 1.0 / max(vmax - vmin, 1.0e-6);\n"
           "    vec3 col = pow(max((c.rgb - vec3(vmin)) * s, vec3(0.0)), vec3(vexp));\n"
           "    float y = dot(col, vec3(0.39, 0.5, 0.11));\n"
           "    gl_FragColor = vec4(vec3(y) + vsat * (col - vec3(y)), c.a);\n"
           "}\n";
}

ExposureShader::ExposureShader() = default;
ExposureShader::~ExposureShader() = default;

bool ExposureShader::bind()
{
    if (m_failed)
        return false;
    if (m_program) {
        try {
            m_program->use();
            return true;
        } catch (const oxException&) {
            return false;
        }
    }
    if (!fragmentShadersSupported())
        return false;
    try {
        m_program = std::make_unique<oxShaderProgram>();
        m_program->attachShader(createFragmentShader(source()));
        m_program->link();
        m_program->use();
        m_program->setUniformInt("tex", 0);
        return true;
    } catch (const oxException& e) {
        // Once: the views ask on every frame.
        m_failed = true;
        oxShowMessage(e.getMessage(), oxGetTranslation(N_("expshader create error")), MB_OK, MI_ERROR);
        return false;
    }
}

void ExposureShader::setExposure(float blackPoint, float whitePoint, float gamma, float saturation)
{
    if (!m_program)
        return;
    m_program->setUniformFloat("vmin", blackPoint);
    m_program->setUniformFloat("vmax", whitePoint);
    m_program->setUniformFloat("vexp", gamma);
    m_program->setUniformFloat("vsat", saturation);
}

void ExposureShader::setExposure(const Exposure& e)
{
    setExposure(float(e.blackPoint), float(e.whitePoint), float(e.gamma), float(e.saturation));
}

void ExposureShader::unbind()
{
    oxShaderProgram::unbind();
}
