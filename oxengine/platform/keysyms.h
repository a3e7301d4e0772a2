// What a key of the X keyboard types, and a key event turned into the codes
// the listeners get: plain keys are characters (Latin-1 bytes as GLUT has
// always given them, code points beyond), special keys GLUT's numbers.
#pragma once

// The character an X key symbol types in any layout (Latin, Greek, Cyrillic,
// Hebrew, Arabic, Thai, kana, the Unicode key symbols that CJK input and
// remapped keys use, the keypad's), or 0 for keys that type nothing.
char32_t oxKeysymToUnicode(unsigned long keysym);

struct oxKeyCode {
    int code = 0; // 0: the key means nothing to the listeners
    bool special = false;
};

// A key event for the listeners. latin1 holds the count bytes XLookupString
// gave for it in its Latin-1 form: the first is the key (control characters
// such as Return, Backspace and Ctrl+A included). Without bytes the
// navigation, function and modifier keys are special keys, and a key that
// types a character beyond Latin-1 gives that character.
oxKeyCode oxTranslateKey(unsigned long keysym, const char* latin1, int count);

// The KM_* bits of an X event's modifier state (Caps Lock counts as Shift).
int oxKeyModifiersOfState(unsigned state);
