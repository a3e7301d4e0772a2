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

namespace {

std::string typed(unsigned long keysym)
{
    std::string text;
    if (const char32_t c = oxKeysymToUnicode(keysym))
        utf8Append(text, c);
    return text;
}

// The steps and the texts of composed sequences for the key symbols fed.
std::string composed(oxKeyComposer& composer, const std::vector<unsigned long>& keysyms, std::string& steps)
{
    std::string all;
    for (unsigned long k : keysyms) {
        std::string text;
        const oxKeyComposer::Step step = composer.feed(k, text);
        steps += step == oxKeyComposer::Step::Pass ? 'p' : step == oxKeyComposer::Step::Swallow ? 's' : 'c';
        all += text;
    }
    return all;
}

} // namespace

TEST(KeysymToUnicode, TypesTheCharacterOfEveryLayout)
{
    const std::pair<unsigned long, const char*> cases[] = {
        {0x61, "a"}, {0xFC, "ü"}, {0xDF, "ß"},                 // Latin-1 key symbols are the code points
        {0x7D9, "Ω"}, {0x7F9, "ω"}, {0x7E1, "α"},              // Greek
        {0x6F7, "В"}, {0x6D6, "ж"}, {0x6B3, "Ё"},              // Cyrillic
        {0x4B1, "ア"}, {0xCE0, "א"}, {0xDA1, "ก"},             // kana, Hebrew, Thai
        {0x1B6, "ś"}, {0x13BD, "œ"}, {0x20AC, "€"},             // Latin-2, Latin-9, currency
        {0x10003A9, "Ω"}, {0x1006F22, "漢"}, {0x101F600, "😀"}, // Unicode key symbols (CJK, beyond the BMP)
        {0xFFB5, "5"}, {0xFF80, " "}, {0xFFAB, "+"},            // the keypad
        // Return, Backspace, Escape, Delete, Shift, F1, Left: they type nothing,
        // nor do a control character, a surrogate or a code point out of range
        // as Unicode key symbols, nor 0x7F, which is no key symbol.
        {0xFF0D, ""}, {0xFF08, ""}, {0xFF1B, ""}, {0xFFFF, ""}, {0xFFE1, ""}, {0xFFBE, ""}, {0xFF51, ""},
        {0x1000008, ""}, {0x1000085, ""}, {0x100D800, ""}, {0x1110000, ""}, {0x7F, ""}, {0, ""},
    };
    for (const auto& [keysym, text] : cases)
        EXPECT_EQ(typed(keysym), text) << std::hex << keysym;
}

TEST(TranslateKey, LatinBytesFirstThenSpecialKeysThenWideCharacters)
{
    struct Case {
        unsigned long keysym;
        const char* bytes;
        int code;
        bool special;
    };
    const Case cases[] = {
        {0x61, "a", 'a', false},
        {0xE9, "\xE9", 0xE9, false},     // a Latin-1 byte stays the key, not its UTF-8
        {0x61, "\x01", 1, false},        // Ctrl+A as the control character
        {0xFF0D, "\r", 13, false},       // Return and Delete as bytes
        {0xFFFF, "\x7F", 127, false},
        {0xFFBE, "", GLUT_KEY_F1, true}, // F1
        {0xFF96, "", GLUT_KEY_LEFT, true},      // keypad Left
        {0xFFE1, "", GLUT_KEY_SHIFT_L, true},
        {0x7D9, "", 0x3A9, false},       // beyond Latin-1: the character
        {0xFE52, "", 0, false},          // a dead key types nothing by itself
        {0, "", 0, false},
    };
    for (const Case& c : cases) {
        const oxKeyCode k = oxTranslateKey(c.keysym, c.bytes, int(std::char_traits<char>::length(c.bytes)));
        EXPECT_EQ(k.code, c.code) << std::hex << c.keysym;
        EXPECT_EQ(k.special, c.special) << std::hex << c.keysym;
    }
}

TEST(KeyModifiersOfState, CapsLockCountsAsShiftAndOthersAreIgnored)
{
    EXPECT_EQ(oxKeyModifiersOfState(0), 0);
    EXPECT_EQ(oxKeyModifiersOfState(LockMask), KM_SHIFT);
    EXPECT_EQ(oxKeyModifiersOfState(ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod4Mask),
              KM_SHIFT | KM_CTRL | KM_ALT);
}

TEST(KeyComposer, DeadKeysAndComposeSequencesTypeOneCharacter)
{
    auto composer = oxKeyComposer::create("en_US.UTF-8");
    if (!composer)
        GTEST_SKIP() << "no compose table for en_US.UTF-8 on this machine";
    const unsigned long deadAcute = 0xFE51, multi = 0xFF20, shift = 0xFFE1;
    struct Case {
        std::vector<unsigned long> keysyms;
        const char* text;
        const char* steps;
    };
    const Case cases[] = {
        {{deadAcute, 'e'}, "é", "sc"},
        {{deadAcute, shift, 'E'}, "É", "spc"},     // Shift between the two is no part of it
        {{deadAcute, 0x7F9}, "ώ", "sc"},           // beyond Latin-1: Greek omega with tonos
        {{multi, 'o', 'e'}, "œ", "ssc"},
        {{deadAcute, 'q', 'a'}, "", "ssp"},        // no such sequence: cancelled, then plain again
        {{'a', 0x7D9}, "", "pp"},                  // keys outside a sequence pass
    };
    for (const Case& c : cases) {
        std::string steps;
        EXPECT_EQ(composed(*composer, c.keysyms, steps), c.text) << c.steps;
        EXPECT_EQ(steps, c.steps);
    }
}
