// Feeds arbitrary bytes to the catalogue parser: it must reject or accept
// without reading out of bounds.
#include "oxengine/core/catalogue.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;
    auto catalogue = oxParseMoCatalogue(data, size, error);
    if (catalogue)
        for (const auto& [id, text] : catalogue->table)
            (void)oxSameFormatConversions(id, text);
    return 0;
}
