#include "oxengine/platform/compose.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

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
