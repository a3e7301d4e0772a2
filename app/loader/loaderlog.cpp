#include "app/loader/loaderlog.h"

#include "oxengine/core/regularfile.h"
#include "oxengine/storage/files.h"

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
    va_list args;
    va_start(args, format);
    std::vfprintf(m_file.get(), format, args);
    va_end(args);
    std::fflush(m_file.get());
}
