// Failure reporting of the engine: the exception family for recoverable
// failures, and the hard (oxAssert) and soft (oxVerify) invariant checks.
#pragma once

#include <exception>
#include <string>

class oxException : public std::exception {
public:
    // The message is expected to be translated already (the thrower passes it
    // through oxGetTranslation).
    explicit oxException(std::string message) : m_message(std::move(message)) {}
    ~oxException() override = default;
    const char* what() const noexcept override;
    virtual std::string getMessage() const { return m_message; }
    // "exception <class name>: <message>"
    virtual std::string describe() const;

protected:
    std::string m_message;

private:
    mutable std::string m_what; // keeps what()'s text alive
};

class oxFormatException : public oxException {
public:
    using oxException::oxException;
};

class oxNumberException : public oxFormatException {
public:
    using oxFormatException::oxFormatException;
};

class oxIOException : public oxException {
public:
    oxIOException(std::string message, std::string filename)
        : oxException(std::move(message)), m_filename(std::move(filename)) {}
    // file "<name>": <message>
    std::string getMessage() const override;
    virtual const std::string& getFilename() const { return m_filename; }

private:
    std::string m_filename;
};

class oxImageException : public oxIOException {
public:
    using oxIOException::oxIOException;
};

class oxTextureException : public oxException {
public:
    using oxException::oxException;
};

class oxShaderException : public oxException {
public:
    using oxException::oxException;
};

class oxShaderSupportException : public oxShaderException {
public:
    using oxShaderException::oxShaderException;
};

class oxShaderCompileException : public oxShaderException {
public:
    using oxShaderException::oxShaderException;
};

class oxShaderLinkException : public oxShaderException {
public:
    using oxShaderException::oxShaderException;
};

// Shows the "Fatal Error" box; never throws. The message is translated here.
void oxFatalError(const char* message, const char* condition, const char* file, int line);
// oxFatalError, then the process ends with exit code 3.
[[noreturn]] void oxAssertFailed(const char* message, const char* condition, const char* file, int line);

#define oxAssert(cond, message)                                                                                        \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            oxAssertFailed((message), "!(" #cond ")", __FILE__, __LINE__);                                             \
    } while (0)

// The soft check: reports and evaluates to the condition, so the caller can
// take its own failure path: if (!oxVerify(p, "...")) return false;
#define oxVerify(cond, message) oxVerifyImpl(static_cast<bool>(cond), (message), #cond, __FILE__, __LINE__)

inline bool oxVerifyImpl(bool ok, const char* message, const char* condition, const char* file, int line)
{
    if (!ok)
        oxFatalError(message, condition, file, line);
    return ok;
}

// Strict number readers: leading white space is skipped, trailing text is
// ignored ("50%" gives 50). No number at all, or a number outside the range of
// the result type, throws oxNumberException.
long parseLong(const std::string& text, int base = 10);
double parseDouble(const std::string& text);
