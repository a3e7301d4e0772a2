#include "oxengine/platform/keyboard_x11.h"

#include "oxengine/core/strings.h"
#include "oxengine/platform/keysyms.h"
#include "oxengine/platform/x11util.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::unique_ptr<oxX11Keyboard> oxX11Keyboard::create(const char* displayName, unsigned long window,
                                                     std::function<void()> wake)
{
    Display* display = oxOpenXDisplay(displayName);
    if (!display)
        return nullptr;
    return std::unique_ptr<oxX11Keyboard>(new oxX11Keyboard(display, window, std::move(wake)));
}

oxX11Keyboard::oxX11Keyboard(Display* display, unsigned long window, std::function<void()> wake)
    : m_display(display), m_window(window), m_wake(std::move(wake))
{
    // The bytes stay Latin-1 whatever the locale, as the listeners have
    // always had them; wider characters come from the key symbol.
    XkbSetXlibControls(m_display, XkbLC_ForceLatin1Lookup, XkbLC_ForceLatin1Lookup);
    XSetWindowAttributes none;
    m_stopWindow = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0, CopyFromParent,
                                 InputOnly, CopyFromParent, 0, &none);
    m_stopAtom = XInternAtom(m_display, "_OX_STOP_KEYBOARD", False);
    XSelectInput(m_display, m_window, KeyPressMask | KeyReleaseMask);
    // Selected before the caller takes the keys from freeglut: none is lost.
    XSync(m_display, False);
    m_reader = std::thread([this] { read(); });
}

oxX11Keyboard::~oxX11Keyboard()
{
    // The stop window's creator is the reader's connection.
    oxSendClientMessage(m_display, m_stopWindow, m_stopAtom);
    m_reader.join();
    {
        // The window may be gone already (destroyed with freeglut's).
        oxQuietXErrors quiet;
        XSelectInput(m_display, m_window, NoEventMask);
        XDestroyWindow(m_display, m_stopWindow);
        XSync(m_display, False);
    }
    XCloseDisplay(m_display);
}

bool oxX11Keyboard::take(oxKeyEvent& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_keys.empty())
        return false;
    key = m_keys.front();
    m_keys.pop_front();
    return true;
}

void oxX11Keyboard::push(const oxKeyEvent& key)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_keys.push_back(key);
    }
    m_wake();
}

void oxX11Keyboard::read()
{
    // Here rather than at start-up: reading the table takes a moment.
    m_composer = oxKeyComposer::create(oxInputLocale());
    for (;;) {
        XEvent e;
        XNextEvent(m_display, &e);
        if (e.type == ClientMessage && e.xclient.window == m_stopWindow && e.xclient.message_type == m_stopAtom)
            return;
        if (e.type != KeyPress && e.type != KeyRelease)
            continue;
        char bytes[32];
        KeySym keysym = NoSymbol;
        const int count = XLookupString(&e.xkey, bytes, sizeof bytes, &keysym, nullptr);
        const int modifiers = oxKeyModifiersOfState(e.xkey.state);
        if (e.type == KeyPress && m_composer) {
            std::string text;
            const oxKeyComposer::Step step = m_composer->feed(keysym, text);
            if (step == oxKeyComposer::Step::Swallow)
                continue;
            if (step == oxKeyComposer::Step::Composed) {
                for (const char32_t c : utf8ToCodePoints(text))
                    push({int(c), false, true, modifiers});
                continue;
            }
        }
        const oxKeyCode code = oxTranslateKey(keysym, bytes, count);
        if (code.code != 0)
            push({code.code, code.special, e.type == KeyPress, modifiers});
    }
}
