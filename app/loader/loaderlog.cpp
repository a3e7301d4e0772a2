#include "app/loader/loaderlog.h"

#include "oxengine/core/regularfile.h"
#include "oxengine/storage/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

std::string LoaderLog::path()
{
    return oxFilename::join(oxFilename::documentsFolder(), FILE_NAME).systemPath();
}

bool LoaderLog::setOpen(bool on, std::string* error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!on) {
        if (m_file && !m_waiting.empty())
            std::fputs(("\n" + m_waiting).c_str(), m_file.get());
        m_waiting.clear();
        m_midLine = false;
        m_file.reset();
        return true;
    }
    if (m_file)
        return true;
    const std::string file = path();
    // Only a regular file: a FIFO under the log's name would block the loader.
    int reason = 0;
    m_file.reset(oxOpenRegularStream(file, "a", reason).release());
    if (!m_file) {
        if (error)
            *error = oxSystemErrorText(reason);
        return false;
    }
    std::fputs("\n\n--------------------------------------------------------\n", m_file.get());
    std::fflush(m_file.get());
    return true;
}

bool LoaderLog::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_file != nullptr;
}

void LoaderLog::write(const char* format, ...)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(size_t(std::max(length, 0)), '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (text.empty())
        return;
    std::fputs(text.c_str(), m_file.get());
    m_midLine = text.back() != '\n';
    if (!m_midLine && !m_waiting.empty()) {
        std::fputs(m_waiting.c_str(), m_file.get());
        m_waiting.clear();
    }
    std::fflush(m_file.get());
}

void LoaderLog::writeLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    if (m_midLine) {
        m_waiting += line + '\n';
        return;
    }
    std::fputs((line + '\n').c_str(), m_file.get());
    std::fflush(m_file.get());
}
