#include "oxengine/platform/keysyms.h"

#include "oxengine/platform/glapp.h"

#include <GL/freeglut.h>
#include <X11/X.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {

bool typesSomething(char32_t c)
{
    return c >= 0x20 && !(c >= 0x7F && c < 0xA0) && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

int specialKey(unsigned long keysym)
{
    if (keysym >= XK_F1 && keysym <= XK_F12)
        return GLUT_KEY_F1 + int(keysym - XK_F1);
    switch (keysym) {
    case XK_Left: case XK_KP_Left: return GLUT_KEY_LEFT;
    case XK_Right: case XK_KP_Right: return GLUT_KEY_RIGHT;
    case XK_Up: case XK_KP_Up: return GLUT_KEY_UP;
    case XK_Down: case XK_KP_Down: return GLUT_KEY_DOWN;
    case XK_Prior: case XK_KP_Prior: return GLUT_KEY_PAGE_UP;
    case XK_Next: case XK_KP_Next: return GLUT_KEY_PAGE_DOWN;
    case XK_Home: case XK_KP_Home: return GLUT_KEY_HOME;
    case XK_End: case XK_KP_End: return GLUT_KEY_END;
    case XK_Insert: case XK_KP_Insert: return GLUT_KEY_INSERT;
    case XK_Num_Lock: return GLUT_KEY_NUM_LOCK;
    case XK_KP_Begin: return GLUT_KEY_BEGIN;
    case XK_KP_Delete: return GLUT_KEY_DELETE;
    case XK_Shift_L: return GLUT_KEY_SHIFT_L;
    case XK_Shift_R: return GLUT_KEY_SHIFT_R;
    case XK_Control_L: return GLUT_KEY_CTRL_L;
    case XK_Control_R: return GLUT_KEY_CTRL_R;
    case XK_Alt_L: return GLUT_KEY_ALT_L;
    case XK_Alt_R: return GLUT_KEY_ALT_R;
    case XK_Super_L: return GLUT_KEY_SUPER_L;
    case XK_Super_R: return GLUT_KEY_SUPER_R;
    default: return 0;
    }
}

} // namespace

char32_t oxKeysymToUnicode(unsigned long keysym)
{
    if (keysym > 0xFFFFFFFFul)
        return 0;
    const char32_t c = xkb_keysym_to_utf32(uint32_t(keysym));
    return typesSomething(c) ? c : 0;
}

oxKeyCode oxTranslateKey(unsigned long keysym, const char* latin1, int count)
{
    if (count > 0 && latin1)
        return {static_cast<unsigned char>(latin1[0]), false};
    if (const int special = specialKey(keysym))
        return {special, true};
    return {int(oxKeysymToUnicode(keysym)), false};
}

int oxKeyModifiersOfState(unsigned state)
{
    return ((state & (ShiftMask | LockMask)) ? KM_SHIFT : 0) | ((state & ControlMask) ? KM_CTRL : 0) |
           ((state & Mod1Mask) ? KM_ALT : 0);
}
