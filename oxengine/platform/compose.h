// Dead keys and the Compose key: sequences of key symbols that type one
// character, as the user's compose table defines them (the locale's, or
// ~/.XCompose). Read without touching the process locale.
#pragma once

#include <memory>
#include <string>

class oxKeyComposer {
public:
    // The table of the locale named (such as "de_DE.UTF-8"); null when it
    // has none or it cannot be read.
    static std::unique_ptr<oxKeyComposer> create(const std::string& locale);
    ~oxKeyComposer();
    oxKeyComposer(const oxKeyComposer&) = delete;
    oxKeyComposer& operator=(const oxKeyComposer&) = delete;

    enum class Step {
        Pass,     // the key is no part of a sequence: it types as usual
        Swallow,  // a sequence goes on, or the key ended one that has no result
        Composed, // the sequence is complete: text holds what it types
    };
    // Fed each key press's symbol in order (modifier keys pass unnoticed).
    Step feed(unsigned long keysym, std::string& text);

private:
    struct Tables;
    explicit oxKeyComposer(std::unique_ptr<Tables> tables);
    std::unique_ptr<Tables> m_tables;
};

// The locale that character input follows: LC_ALL, LC_CTYPE, LANG, else "C".
std::string oxInputLocale();
