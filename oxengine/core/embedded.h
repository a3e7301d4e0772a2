// Files compiled into the program (the catalogue, the built-in font). Each is a
// static object that registers itself in one list before main runs.
#pragma once

#include <cstddef>

class oxEmbeddedFile {
public:
    oxEmbeddedFile(const char* name, const unsigned char* data, size_t size);
    oxEmbeddedFile(const oxEmbeddedFile&) = delete;
    oxEmbeddedFile& operator=(const oxEmbeddedFile&) = delete;

    const char* name() const { return m_name; }
    const unsigned char* data() const { return m_data; }
    size_t size() const { return m_size; }
    const oxEmbeddedFile* next() const { return m_next; }

private:
    const char* m_name;
    const unsigned char* m_data;
    size_t m_size;
    const oxEmbeddedFile* m_next;
};

// First registered file whose name equals name ignoring ASCII case, or null.
const oxEmbeddedFile* findEmbeddedFile(const char* name);
