#include "oxengine/core/strings.h"
#include "oxengine/platform/compose.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/keysyms.h"

#include <gtest/gtest.h>
// After gtest, which has names X defines as macros.
#include <GL/freeglut.h>
#include <X11/X.h>

#include <string>
#include <vector>

// The mapping itself is xkbcommon's; what is ours is that keys which type no text give nothing.
TEST(Keys, KeysymsTranslationAndDeadKeys)
{
    const std::pair<unsigned long, const char*> cases[] = {
        {0xFC, "ü"}, {0x7D9, "Ω"}, {0x1006F22, "漢"}, {0x101F600, "😀"}, {0xFF80, " "}, // keypad space
        // Return, Delete, a control character, a surrogate, a code point out of range, more than 32 bits.
        {0xFF0D, ""}, {0xFFFF, ""}, {0x1000085, ""}, {0x100D800, ""}, {0x1110000, ""}, {0x1000000FCul, ""},
    };
    for (const auto& [keysym, text] : cases) {
        std::string typed;
        if (const char32_t c = oxKeysymToUnicode(keysym))
            utf8Append(typed, c);
        EXPECT_EQ(typed, text) << std::hex << keysym;
    }

    const struct {
        unsigned long keysym;
        const char* bytes;
        int code;
        bool special;
    } keys[] = {
        {0xE9, "\xE9", 0xE9, false},       // a Latin-1 byte stays the key, not its UTF-8
        {0xFF0D, "\r", 13, false},         // Return as its byte
        {0xFFC1, "", GLUT_KEY_F1 + 3, true}, // F4
        {0xFF96, "", GLUT_KEY_LEFT, true},  // keypad Left
        {0x7D9, "", 0x3A9, false},          // beyond Latin-1: the character
        {0xFE52, "", 0, false},             // a dead key types nothing by itself
    };
    for (const auto& c : keys) {
        const oxKeyCode k = oxTranslateKey(c.keysym, c.bytes, int(std::char_traits<char>::length(c.bytes)));
        EXPECT_EQ(std::pair(k.code, k.special), std::pair(c.code, c.special)) << std::hex << c.keysym;
    }
    // Caps Lock counts as Shift; Num Lock and the Super key are ignored.
    EXPECT_EQ(oxKeyModifiersOfState(LockMask), KM_SHIFT);
    EXPECT_EQ(oxKeyModifiersOfState(ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod4Mask),
              KM_SHIFT | KM_CTRL | KM_ALT);

    // Dead keys and compose sequences type one character.
    auto composer = oxKeyComposer::create("en_US.UTF-8");
    if (!composer)
        GTEST_SKIP() << "no compose table for en_US.UTF-8 on this machine";
    const unsigned long deadAcute = 0xFE51, multi = 0xFF20, shift = 0xFFE1;
    struct Case {
        std::vector<unsigned long> keysyms;
        const char* text;
        const char* steps;
    };
    const Case sequences[] = {
        {{deadAcute, 'e'}, "é", "sc"},
        {{deadAcute, shift, 'E'}, "É", "spc"},     // Shift between the two is no part of it
        {{deadAcute, 0x7F9}, "ώ", "sc"},           // beyond Latin-1: Greek omega with tonos
        {{multi, 'o', 'e'}, "œ", "ssc"},
        {{deadAcute, 'q', 'a'}, "", "ssp"},        // no such sequence: cancelled, then plain again
        {{'a', 0x7D9}, "", "pp"},                  // keys outside a sequence pass
    };
    for (const Case& c : sequences) {
        std::string steps, all; // 'p'ass, 's'wallow, 'c'ompose per key; the composed texts
        for (unsigned long k : c.keysyms) {
            std::string text;
            const oxKeyComposer::Step step = composer->feed(k, text);
            steps += step == oxKeyComposer::Step::Pass ? 'p' : step == oxKeyComposer::Step::Swallow ? 's' : 'c';
            all += text;
        }
        EXPECT_EQ(all, c.text) << c.steps;
        EXPECT_EQ(steps, c.steps);
    }
}
