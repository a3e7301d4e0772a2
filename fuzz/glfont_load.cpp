// Arbitrary bytes to the font reader, both variants; an accepted font must lay out text safely.
#include "oxengine/core/errors.h"
#include "oxengine/graphics/glfont.h"
#include "oxengine/graphics/textoutput.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool compressed : {false, true}) {
        std::istringstream in(bytes);
        GLFont font;
        try {
            font.loadFont(in, compressed);
        } catch (const oxException&) {
            continue;
        }
        const int64_t last = std::min<int64_t>(font.endChar(), int64_t(font.startChar()) + 512);
        for (int64_t c = std::max(0, font.startChar()); c <= last; ++c)
            (void)(font.charWidth(char32_t(c)) + font.charHeight(char32_t(c)));
        oxTextOutput out;
        out.setFont(&font);
        out.setMultiLine(true);
        out.setAlignment(1);
        out.setText("Pictavo\t\xc3\xbc\xff\n\xce\xa9 X?\r\n\t\t");
        const oxTextSize block = out.measure();
        (void)out.hitTest(out.x() + block.width / 2, out.y() + block.height);
    }
    return 0;
}
