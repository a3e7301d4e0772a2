#include "oxengine/core/embedded.h"

#include "oxengine/core/strings.h"

// Defined in the generated source that holds the data; calling it makes the
// linker keep that object file (and so the files' registrations).
void oxLinkEmbeddedFiles();

namespace {
// Zero-initialised before any constructor runs, so registration order of the
// static objects does not matter.
const oxEmbeddedFile* g_head = nullptr;
} // namespace

oxEmbeddedFile::oxEmbeddedFile(const char* name, const unsigned char* data, size_t size)
    : m_name(name), m_data(data), m_size(size), m_next(g_head)
{
    g_head = this;
}

const oxEmbeddedFile* findEmbeddedFile(const char* name)
{
    oxLinkEmbeddedFiles();
    if (!name)
        return nullptr;
    for (const oxEmbeddedFile* f = g_head; f; f = f->next())
        if (equalsIgnoreCase(f->name(), name))
            return f;
    return nullptr;
}
