// Key codes as the framework delivers them: plain keys are characters
// (GLUT gives Latin-1 bytes; larger values are taken as Unicode code
// points), special keys are GLUT's numbers.
#pragma once

enum oxGuiKey : int {
    GUI_KEY_BACKSPACE = 8,
    GUI_KEY_TAB = 9,
    GUI_KEY_ENTER = 13,
    GUI_KEY_ESCAPE = 27,
    GUI_KEY_SPACE = 32,
    GUI_KEY_DELETE = 127,
    // Control characters of Ctrl+A, C, V, X.
    GUI_KEY_CTRL_A = 1,
    GUI_KEY_CTRL_C = 3,
    GUI_KEY_CTRL_V = 22,
    GUI_KEY_CTRL_X = 24,
};

enum oxGuiSpecialKey : int {
    GUI_SPECIAL_LEFT = 100,
    GUI_SPECIAL_UP = 101,
    GUI_SPECIAL_RIGHT = 102,
    GUI_SPECIAL_DOWN = 103,
    GUI_SPECIAL_PAGE_UP = 104,
    GUI_SPECIAL_PAGE_DOWN = 105,
    GUI_SPECIAL_HOME = 106,
    GUI_SPECIAL_END = 107,
    GUI_SPECIAL_INSERT = 108,
    // The keypad's Delete, which GLUT reports as a special key.
    GUI_SPECIAL_DELETE = 111,
};

// The modifier keys (KM_* of the framework) held at the event being
// handled; 0 without a running application.
int oxGuiKeyModifiers();
