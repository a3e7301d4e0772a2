// Failure reporting of the engine: the exception family for recoverable
// failures, and the hard (oxAssert) and soft (oxVerify) invariant checks.
#pragma once

#include <exception>
#include <functional>
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

// ---- The failure sink ---------------------------------------------------------
// What the engine reports on its own because no caller could catch it: broken
// invariants (oxAssert, oxVerify) and problems of its set-up (a catalogue that
// cannot be read, file names made before initialisation). Start-up installs a
// sink that shows them to the user; without one they go to stderr. The sink
// may be called from any thread and must not throw.
struct oxFailure {
    bool brokenInvariant = false; // a "Fatal Error", shown as an error
    std::string title;            // translated; empty: the application's title
    std::string text;             // translated
};
using oxFailureSink = std::function<void(const oxFailure&)>;
// Installs the process-wide sink (an empty one: none) and returns the previous.
oxFailureSink oxSetFailureSink(oxFailureSink sink);
// Hands the failure to the sink, or writes it to stderr; never throws.
void oxReportFailure(const oxFailure& failure);

// Reports "<message>\nCondition: <condition> at <file>, line <line>" (cut to
// 999 characters) as a broken invariant titled "Fatal Error"; never throws.
// The message is translated here.
void oxFatalError(const char* message, const char* condition, const char* file, int line);
// oxFatalError, then the process ends with exit code 3 once the sink returns.
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
