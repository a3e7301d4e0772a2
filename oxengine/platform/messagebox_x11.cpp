// The engine's modal message and input boxes as small Xlib windows on a
// connection of their own: they work from any thread, before the GLUT window
// exists and above a full-screen window.
#include "oxengine/platform/messagebox_native.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/platform/keysyms.h"
#include "oxengine/platform/mainwindow.h"
#include "oxengine/platform/messagebox_font.h"
#include "oxengine/platform/messagebox_layout.h"
#include "oxengine/platform/x11util.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex g_boxMutex; // one box at a time, whichever thread asks

std::mutex g_fontMutex;
std::vector<std::string> g_fontNames;

std::vector<std::string> fontCandidates()
{
    std::lock_guard<std::mutex> lock(g_fontMutex);
    return g_fontNames.empty() ? oxBoxFont::defaultCandidates() : g_fontNames;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

// The boxes' own connection to a display, opened at the first box there and
// kept: Xft and Xrender keep state per connection that a connection opened
// later at the same address would inherit, garbling its requests. Called
// with g_boxMutex held; null when the display cannot be opened.
Display* boxDisplay(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<Display, DisplayCloser>> displays;
    std::unique_ptr<Display, DisplayCloser>& display = displays[name];
    if (!display)
        display.reset(oxOpenXDisplay(name.empty() ? nullptr : name.c_str()));
    return display.get();
}

constexpr int kMaxInputChars = 4999;
constexpr int kFieldFocus = -1; // focus index of the input box's edit field

class Box {
public:
    Box(Display* d, const oxMessageRequest& request);
    ~Box();
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    oxMessageAnswer run();

private:
    struct Button {
        std::u32string label;
        int answer;
        Rect rect;
    };

    unsigned long colour(const char* name, unsigned long fallback);
    // A colour for text; false when it cannot be had.
    bool textColour(const char* name, XftColor& out);
    void layoutMessage();
    // A line's width with its tab column.
    int lineWidth(std::u32string_view line) const { return oxTabbedWidth(line, m_tabColumn, m_tabGap, fontWidth()); }
    std::function<int(std::u32string_view)> fontWidth() const
    {
        return [this](std::u32string_view s) { return m_font.width(s); };
    }
    void layoutInput();
    void createWindow();
    void setProperties();
    void openInputMethod();
    void place(int& x, int& y);

    void draw();
    void drawIcon(Drawable target);
    void drawButton(Drawable target, size_t i);
    void drawField(Drawable target);
    // Text goes to the buffer, where everything is drawn before it is shown.
    void drawText(int x, int top, std::u32string_view text);

    void onKey(XKeyEvent& e);
    void onPress(int x, int y);
    void onRelease(int x, int y);
    void moveFocus(int step);
    void activate(int answer);
    void placeCursor(int x, int y);

    Display* m_d;
    const oxMessageRequest& m_request;
    int m_screen;
    oxBoxFont m_font;
    unsigned long m_bg, m_fg, m_face, m_pressedFace, m_border, m_focusColour, m_fieldBg, m_iconColour;

    int m_width = 0, m_height = 0;
    int m_lineHeight = 0;
    std::vector<std::u32string> m_lines;
    int m_tabColumn = 0, m_tabGap = 0;
    Rect m_textRect;
    Rect m_iconRect;
    std::vector<Button> m_buttons;
    int m_focus = 0;
    int m_pressed = -1;
    int m_escapeAnswer = MB_OK;

    std::unique_ptr<oxEditText> m_edit;
    Rect m_field;
    int m_scrollX = 0;
    size_t m_scrollLine = 0;

    Window m_window = 0;
    bool m_windowDestroyed = false;
    GC m_gc = nullptr;
    Pixmap m_buffer = 0;
    XftDraw* m_textDraw = nullptr; // text on the buffer
    XftColor m_textInk{}, m_markInk{};
    bool m_textInkSet = false, m_markInkSet = false;
    XIM m_im = nullptr;
    XIC m_ic = nullptr;
    Atom m_wmProtocols = 0, m_wmDelete = 0;
    int m_raises = 0;

    bool m_done = false;
    oxMessageAnswer m_answer;
};

Box::Box(Display* d, const oxMessageRequest& request)
    : m_d(d), m_request(request), m_screen(DefaultScreen(d)), m_font(d, DefaultScreen(d), fontCandidates())
{
    m_bg = colour("#ececec", WhitePixel(d, m_screen));
    m_fg = colour("#1e1e1e", BlackPixel(d, m_screen));
    m_face = colour("#fafafa", WhitePixel(d, m_screen));
    m_pressedFace = colour("#cfcfcf", WhitePixel(d, m_screen));
    m_border = colour("#8c8c8c", BlackPixel(d, m_screen));
    m_focusColour = colour("#2a6fc9", BlackPixel(d, m_screen));
    m_fieldBg = colour("#ffffff", WhitePixel(d, m_screen));
    switch (request.icon) {
    case MI_WARNING: m_iconColour = colour("#e8b100", BlackPixel(d, m_screen)); break;
    case MI_ERROR: m_iconColour = colour("#d0302a", BlackPixel(d, m_screen)); break;
    default: m_iconColour = colour("#2a6fc9", BlackPixel(d, m_screen)); break;
    }
    m_lineHeight = m_font.height() + 2;
    if (!m_font.valid()) {
        // Nothing readable can be drawn: keep the message where it is seen.
        std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
    }
    if (request.input)
        layoutInput();
    else
        layoutMessage();
    createWindow();
}

Box::~Box()
{
    Visual* visual = DefaultVisual(m_d, m_screen);
    const Colormap map = DefaultColormap(m_d, m_screen);
    if (m_textInkSet)
        XftColorFree(m_d, visual, map, &m_textInk);
    if (m_markInkSet)
        XftColorFree(m_d, visual, map, &m_markInk);
    if (m_textDraw)
        XftDrawDestroy(m_textDraw);
    if (m_ic)
        XDestroyIC(m_ic);
    if (m_im)
        XCloseIM(m_im);
    if (m_buffer)
        XFreePixmap(m_d, m_buffer);
    if (m_gc)
        XFreeGC(m_d, m_gc);
    if (m_window && !m_windowDestroyed)
        XDestroyWindow(m_d, m_window);
    XSync(m_d, False);
}

unsigned long Box::colour(const char* name, unsigned long fallback)
{
    XColor c;
    Colormap map = DefaultColormap(m_d, m_screen);
    if (XParseColor(m_d, map, name, &c) && XAllocColor(m_d, map, &c))
        return c.pixel;
    return fallback;
}

bool Box::textColour(const char* name, XftColor& out)
{
    return XftColorAllocName(m_d, DefaultVisual(m_d, m_screen), DefaultColormap(m_d, m_screen), name, &out);
}

void Box::layoutMessage()
{
    const int margin = 16, gap = 12;
    const int iconSize = m_request.icon != MI_NONE ? 32 : 0;
    const int screenW = DisplayWidth(m_d, m_screen), screenH = DisplayHeight(m_d, m_screen);
    const int maxTextW = std::max(200, std::min(60 * m_font.averageWidth(), screenW * 3 / 4));
    // Tab-separated columns (the usage's options) line up in the
    // proportional font; a first column wider than half the text is no column.
    const std::u32string text = utf8ToCodePoints(m_request.text);
    m_tabGap = 2 * m_font.averageWidth();
    auto plain = [this](std::u32string_view s) { return m_font.width(s); };
    m_tabColumn = oxTabColumn(text, m_tabGap, plain);
    if (m_tabColumn > maxTextW / 2)
        m_tabColumn = 0;
    auto width = [this](std::u32string_view s) { return lineWidth(s); };
    m_lines = oxWrapText(text, maxTextW, width);

    for (const oxBoxButton& b : oxMessageBoxButtons(m_request.buttons))
        m_buttons.push_back({utf8ToCodePoints(oxGetTranslation(b.label)), b.answer, {}});
    m_escapeAnswer = oxMessageBoxEscapeAnswer(m_request.buttons);
    int buttonW = 80;
    for (const Button& b : m_buttons)
        buttonW = std::max(buttonW, m_font.width(b.label) + 24);
    const int buttonH = m_font.height() + 12;
    const int buttonsW = int(m_buttons.size()) * buttonW + int(m_buttons.size() - 1) * 8;

    // A very long text is cut so the buttons stay on the screen.
    const int maxBodyH = std::max(m_lineHeight, screenH * 9 / 10 - buttonH - 3 * margin);
    if (int(m_lines.size()) * m_lineHeight > maxBodyH) {
        m_lines.resize(size_t(std::max(1, maxBodyH / m_lineHeight)));
        m_lines.back() += U" \u2026";
    }
    int textW = 0;
    for (const std::u32string& line : m_lines)
        textW = std::max(textW, lineWidth(line));
    const int textH = int(m_lines.size()) * m_lineHeight;
    const int contentW = iconSize ? iconSize + gap + textW : textW;
    m_width = std::max({contentW + 2 * margin, buttonsW + 2 * margin, 240});
    const int bodyH = std::max(textH, iconSize);
    m_height = margin + bodyH + margin + buttonH + margin;

    m_iconRect = {margin, margin, iconSize, iconSize};
    m_textRect = {margin + (iconSize ? iconSize + gap : 0), margin + (bodyH - textH) / 2, textW, textH};
    int x = m_width - margin - buttonsW;
    for (Button& b : m_buttons) {
        b.rect = {x, m_height - margin - buttonH, buttonW, buttonH};
        x += buttonW + 8;
    }
    m_focus = 0;
}

void Box::layoutInput()
{
    // The classic input dialog in dialog units (a quarter of the average
    // character width, an eighth of the font height).
    const double hdu = m_font.averageWidth() / 4.0, vdu = m_font.height() / 8.0;
    auto dlg = [&](int x, int y, int w, int h) {
        return Rect{int(std::lround(x * hdu)), int(std::lround(y * vdu)), int(std::lround(w * hdu)),
                    int(std::lround(h * vdu))};
    };
    m_width = int(std::lround(231 * hdu));
    m_height = int(std::lround(109 * vdu));
    m_textRect = dlg(6, 4, 157, 33);
    m_field = m_request.multiLine ? dlg(6, 55, 216, 49) : dlg(6, 37, 216, 14);
    m_field.h = std::max(m_field.h, m_font.height() + 6);
    m_buttons.push_back({utf8ToCodePoints(oxGetTranslation("OK")), MB_OK, dlg(171, 4, 51, 14)});
    m_buttons.push_back({utf8ToCodePoints(oxGetTranslation("CANCEL")), MB_CANCEL, dlg(171, 21, 51, 14)});
    for (Button& b : m_buttons)
        b.rect.h = std::max(b.rect.h, m_font.height() + 6);
    auto width = [this](std::u32string_view s) { return m_font.width(s); };
    m_lines = oxWrapText(utf8ToCodePoints(m_request.text), m_textRect.w, width);
    m_edit = std::make_unique<oxEditText>(utf8ToCodePoints(m_request.inputText), m_request.multiLine,
                                          size_t(kMaxInputChars));
    m_escapeAnswer = MB_CANCEL;
    m_focus = kFieldFocus;
}

void Box::place(int& x, int& y)
{
    const int screenW = DisplayWidth(m_d, m_screen), screenH = DisplayHeight(m_d, m_screen);
    x = (screenW - m_width) / 2;
    y = (screenH - m_height) / 2;
    // Centred over the program's window when there is one.
    const oxMainWindowContext main = oxGetMainWindowContext();
    if (main.drawable) {
        oxQuietXErrors quiet;
        XWindowAttributes a;
        Window child;
        int ox = 0, oy = 0;
        if (XGetWindowAttributes(m_d, main.drawable, &a) &&
            XTranslateCoordinates(m_d, main.drawable, RootWindow(m_d, m_screen), 0, 0, &ox, &oy, &child)) {
            x = ox + (a.width - m_width) / 2;
            y = oy + (a.height - m_height) / 2;
        }
        XSync(m_d, False);
    }
    x = std::clamp(x, 0, std::max(0, screenW - m_width));
    y = std::clamp(y, 0, std::max(0, screenH - m_height));
}

void Box::createWindow()
{
    int x = 0, y = 0;
    place(x, y);
    m_window = XCreateSimpleWindow(m_d, RootWindow(m_d, m_screen), x, y, unsigned(m_width), unsigned(m_height), 0,
                                   m_border, m_bg);
    m_gc = XCreateGC(m_d, m_window, 0, nullptr);
    m_buffer = XCreatePixmap(m_d, m_window, unsigned(m_width), unsigned(m_height),
                             unsigned(DefaultDepth(m_d, m_screen)));
    m_textDraw = XftDrawCreate(m_d, m_buffer, DefaultVisual(m_d, m_screen), DefaultColormap(m_d, m_screen));
    m_textInkSet = textColour("#1e1e1e", m_textInk);
    m_markInkSet = textColour(m_request.icon == MI_WARNING ? "#1e1e1e" : "#ffffff", m_markInk);
    setProperties();
    openInputMethod();
    long mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                StructureNotifyMask | FocusChangeMask | VisibilityChangeMask;
    long imMask = 0;
    if (m_ic && !XGetICValues(m_ic, XNFilterEvents, &imMask, nullptr))
        mask |= imMask;
    XSelectInput(m_d, m_window, mask);
}

void Box::setProperties()
{
    const std::string& title = m_request.title;
    // WM_NAME in the encoding its type promises (Latin-1 or compound text),
    // _NET_WM_NAME as UTF-8 for window managers that read it.
    XTextProperty name{};
    char* list[] = {const_cast<char*>(title.c_str())};
    if (Xutf8TextListToTextProperty(m_d, list, 1, XStdICCTextStyle, &name) >= Success) {
        XSetWMName(m_d, m_window, &name);
        XFree(name.value);
    } else {
        XStoreName(m_d, m_window, title.c_str());
    }
    const Atom utf8 = XInternAtom(m_d, "UTF8_STRING", False);
    XChangeProperty(m_d, m_window, XInternAtom(m_d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));

    XClassHint cls;
    char resName[] = "pictavo", resClass[] = "Pictavo";
    cls.res_name = resName;
    cls.res_class = resClass;
    XSetClassHint(m_d, m_window, &cls);

    XSizeHints size{};
    size.flags = PPosition | PSize | PMinSize | PMaxSize;
    size.min_width = size.max_width = size.width = m_width;
    size.min_height = size.max_height = size.height = m_height;
    XSetWMNormalHints(m_d, m_window, &size);

    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(m_d, m_window, &hints);

    m_wmProtocols = XInternAtom(m_d, "WM_PROTOCOLS", False);
    m_wmDelete = XInternAtom(m_d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(m_d, m_window, &m_wmDelete, 1);

    const oxMainWindowContext main = oxGetMainWindowContext();
    if (main.drawable)
        XSetTransientForHint(m_d, m_window, main.drawable);
    const Atom dialog = XInternAtom(m_d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(m_d, m_window, XInternAtom(m_d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    Atom states[2] = {XInternAtom(m_d, "_NET_WM_STATE_ABOVE", False), XInternAtom(m_d, "_NET_WM_STATE_MODAL", False)};
    XChangeProperty(m_d, m_window, XInternAtom(m_d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states), main.drawable ? 2 : 1);
}

void Box::openInputMethod()
{
    // An input method turns keys into text the way the user's desktop does
    // (dead keys, compose, any layout); without one, key symbols are mapped.
    if (!m_request.input || !XSupportsLocale())
        return;
    XSetLocaleModifiers("");
    m_im = XOpenIM(m_d, nullptr, nullptr, nullptr);
    if (!m_im) {
        XSetLocaleModifiers("@im=none");
        m_im = XOpenIM(m_d, nullptr, nullptr, nullptr);
    }
    if (m_im)
        m_ic = XCreateIC(m_im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, m_window,
                         XNFocusWindow, m_window, nullptr);
}

// ---- Drawing -------------------------------------------------------------------------

void Box::drawText(int x, int top, std::u32string_view text)
{
    if (m_textInkSet)
        m_font.draw(m_textDraw, m_textInk, x, top + 1 + m_font.ascent(), text);
}

void Box::drawIcon(Drawable target)
{
    if (m_request.input || m_request.icon == MI_NONE)
        return;
    const Rect& r = m_iconRect;
    XSetForeground(m_d, m_gc, m_iconColour);
    std::u32string mark = U"i";
    if (m_request.icon == MI_WARNING) {
        XPoint p[3] = {{short(r.x + r.w / 2), short(r.y)}, {short(r.x + r.w), short(r.y + r.h)},
                       {short(r.x), short(r.y + r.h)}};
        XFillPolygon(m_d, target, m_gc, p, 3, Convex, CoordModeOrigin);
        mark = U"!";
    } else {
        XFillArc(m_d, target, m_gc, r.x, r.y, unsigned(r.w), unsigned(r.h), 0, 360 * 64);
        mark = m_request.icon == MI_ERROR ? U"\u00d7" : m_request.icon == MI_QUESTION ? U"?" : U"i";
    }
    const int tx = r.x + (r.w - m_font.width(mark)) / 2;
    const int ty = r.y + (r.h - m_font.height()) / 2 + (m_request.icon == MI_WARNING ? 4 : 0);
    if (m_markInkSet)
        m_font.draw(m_textDraw, m_markInk, tx, ty + m_font.ascent(), mark);
}

void Box::drawButton(Drawable target, size_t i)
{
    const Button& b = m_buttons[i];
    const Rect& r = b.rect;
    XSetForeground(m_d, m_gc, int(i) == m_pressed ? m_pressedFace : m_face);
    XFillRectangle(m_d, target, m_gc, r.x, r.y, unsigned(r.w), unsigned(r.h));
    // The focused button has a double frame; OK is marked as the default
    // while the input box's field has the focus (Enter answers it).
    const bool focused = int(i) == m_focus;
    const bool isDefault = focused || (m_focus == kFieldFocus && i == 0);
    XSetForeground(m_d, m_gc, isDefault ? m_focusColour : m_border);
    XDrawRectangle(m_d, target, m_gc, r.x, r.y, unsigned(r.w - 1), unsigned(r.h - 1));
    if (focused)
        XDrawRectangle(m_d, target, m_gc, r.x + 1, r.y + 1, unsigned(r.w - 3), unsigned(r.h - 3));
    drawText(r.x + (r.w - m_font.width(b.label)) / 2, r.y + (r.h - m_lineHeight) / 2, b.label);
}

void Box::drawField(Drawable target)
{
    const Rect& r = m_field;
    XSetForeground(m_d, m_gc, m_fieldBg);
    XFillRectangle(m_d, target, m_gc, r.x, r.y, unsigned(r.w), unsigned(r.h));
    const bool focused = m_focus == kFieldFocus;
    XSetForeground(m_d, m_gc, focused ? m_focusColour : m_border);
    XDrawRectangle(m_d, target, m_gc, r.x, r.y, unsigned(r.w - 1), unsigned(r.h - 1));

    const Rect inner{r.x + 3, r.y + 2, r.w - 6, r.h - 4};
    const std::vector<std::u32string> lines = m_edit->lines();
    const size_t line = m_edit->cursorLine();
    const size_t visible = std::max<size_t>(1, size_t(inner.h / m_lineHeight));
    if (line < m_scrollLine)
        m_scrollLine = line;
    if (line >= m_scrollLine + visible)
        m_scrollLine = line - visible + 1;
    // Keep the cursor in view horizontally, with a little context.
    const int caretX = m_font.width(std::u32string_view(lines[line]).substr(0, m_edit->cursorColumn()));
    if (caretX < m_scrollX)
        m_scrollX = std::max(0, caretX - inner.w / 4);
    if (caretX > m_scrollX + inner.w - 2)
        m_scrollX = caretX - inner.w + inner.w / 4;

    XRectangle clip{short(inner.x), short(inner.y), static_cast<unsigned short>(inner.w),
                    static_cast<unsigned short>(inner.h)};
    XSetClipRectangles(m_d, m_gc, 0, 0, &clip, 1, Unsorted);
    if (m_textDraw)
        XftDrawSetClipRectangles(m_textDraw, 0, 0, &clip, 1);
    const int top = m_request.multiLine ? inner.y : inner.y + (inner.h - m_lineHeight) / 2;
    for (size_t l = m_scrollLine; l < lines.size() && l < m_scrollLine + visible; ++l)
        drawText(inner.x - m_scrollX, top + int(l - m_scrollLine) * m_lineHeight, lines[l]);
    if (focused) {
        XSetForeground(m_d, m_gc, m_fg);
        const int cx = inner.x - m_scrollX + caretX;
        const int cy = top + int(line - m_scrollLine) * m_lineHeight;
        XDrawLine(m_d, target, m_gc, cx, cy + 1, cx, cy + m_lineHeight - 1);
    }
    XSetClipMask(m_d, m_gc, None);
    if (m_textDraw)
        XftDrawSetClip(m_textDraw, nullptr);
}

void Box::draw()
{
    XSetForeground(m_d, m_gc, m_bg);
    XFillRectangle(m_d, m_buffer, m_gc, 0, 0, unsigned(m_width), unsigned(m_height));
    drawIcon(m_buffer);
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const int top = m_textRect.y + int(i) * m_lineHeight;
        if (m_request.input && top + m_lineHeight > m_textRect.y + m_textRect.h)
            break; // the prompt has a fixed area
        const auto [before, after] = oxSplitAtTab(m_lines[i]);
        drawText(m_textRect.x, top, before);
        if (!after.empty())
            drawText(m_textRect.x + lineWidth(m_lines[i]) - m_font.width(after), top, after);
    }
    if (m_edit)
        drawField(m_buffer);
    for (size_t i = 0; i < m_buttons.size(); ++i)
        drawButton(m_buffer, i);
    XCopyArea(m_d, m_buffer, m_window, m_gc, 0, 0, unsigned(m_width), unsigned(m_height), 0, 0);
}

// ---- Input ---------------------------------------------------------------------------

void Box::activate(int answer)
{
    m_answer.button = answer;
    if (m_edit && answer == MB_OK)
        m_answer.inputText = utf8FromCodePoints(m_edit->text());
    m_done = true;
}

void Box::moveFocus(int step)
{
    // The input box cycles field, OK, CANCEL; a message box its buttons.
    const int first = m_edit ? kFieldFocus : 0;
    const int count = int(m_buttons.size()) - first;
    m_focus = first + ((m_focus - first + step) % count + count) % count;
}

void Box::onKey(XKeyEvent& e)
{
    KeySym key = NoSymbol;
    std::u32string typed;
    if (m_ic) {
        char buffer[64];
        Status status = 0;
        const int n = Xutf8LookupString(m_ic, &e, buffer, sizeof buffer, &key, &status);
        if (status == XLookupChars || status == XLookupBoth)
            typed = utf8ToCodePoints(std::string_view(buffer, size_t(std::max(0, n))));
        if (status != XLookupKeySym && status != XLookupBoth)
            key = NoSymbol;
    } else {
        char buffer[32];
        XLookupString(&e, buffer, sizeof buffer, &key, nullptr);
        if (const char32_t c = oxKeysymToUnicode(key))
            typed.assign(1, c);
    }
    const bool shift = e.state & ShiftMask, control = e.state & ControlMask;
    const bool inField = m_edit && m_focus == kFieldFocus;
    const int focusedAnswer = m_focus >= 0 ? m_buttons[size_t(m_focus)].answer : MB_OK;

    switch (key) {
    case XK_Escape: activate(m_escapeAnswer); return;
    case XK_Tab: moveFocus(shift ? -1 : 1); break;
    case XK_ISO_Left_Tab: moveFocus(-1); break;
    case XK_Return:
    case XK_KP_Enter:
        if (inField && m_request.multiLine && !control)
            m_edit->insert(U'\n');
        else
            activate(inField ? MB_OK : focusedAnswer);
        break;
    case XK_space:
    case XK_KP_Space:
        if (inField)
            m_edit->insert(U' ');
        else
            activate(focusedAnswer);
        break;
    case XK_Left:
    case XK_KP_Left:
        inField ? m_edit->left() : moveFocus(-1);
        break;
    case XK_Right:
    case XK_KP_Right:
        inField ? m_edit->right() : moveFocus(1);
        break;
    case XK_Up:
    case XK_KP_Up:
        inField ? m_edit->up() : moveFocus(-1);
        break;
    case XK_Down:
    case XK_KP_Down:
        inField ? m_edit->down() : moveFocus(1);
        break;
    case XK_Home:
    case XK_KP_Home:
        if (inField)
            m_edit->home();
        break;
    case XK_End:
    case XK_KP_End:
        if (inField)
            m_edit->end();
        break;
    case XK_BackSpace:
        if (inField)
            m_edit->backspace();
        break;
    case XK_Delete:
    case XK_KP_Delete:
        if (inField)
            m_edit->deleteForward();
        break;
    default:
        if (inField && !control)
            for (char32_t c : typed)
                m_edit->insert(c);
        break;
    }
    if (!m_done)
        draw();
}

void Box::placeCursor(int x, int y)
{
    const std::vector<std::u32string> lines = m_edit->lines();
    size_t line = m_edit->cursorLine();
    if (m_request.multiLine) {
        const int row = std::max(0, (y - (m_field.y + 2)) / m_lineHeight);
        line = std::min(lines.size() - 1, m_scrollLine + size_t(row));
    }
    // The column whose left edge is nearest to the click.
    const int target = x - (m_field.x + 3) + m_scrollX;
    const std::u32string& text = lines[line];
    size_t column = 0;
    int best = std::abs(target);
    for (size_t c = 1; c <= text.size(); ++c) {
        const int d = std::abs(m_font.width(std::u32string_view(text).substr(0, c)) - target);
        if (d < best) {
            best = d;
            column = c;
        }
    }
    m_edit->moveTo(line, column);
}

void Box::onPress(int x, int y)
{
    for (size_t i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].rect.contains(x, y)) {
            m_pressed = int(i);
            m_focus = int(i);
        }
    if (m_edit && m_field.contains(x, y)) {
        m_focus = kFieldFocus;
        placeCursor(x, y);
    }
    draw();
}

void Box::onRelease(int x, int y)
{
    const int pressed = m_pressed;
    m_pressed = -1;
    if (pressed >= 0 && m_buttons[size_t(pressed)].rect.contains(x, y)) {
        activate(m_buttons[size_t(pressed)].answer);
        return;
    }
    draw();
}

oxMessageAnswer Box::run()
{
    m_answer.button = m_escapeAnswer;
    XMapRaised(m_d, m_window);
    while (!m_done) {
        XEvent e;
        XNextEvent(m_d, &e);
        if (XFilterEvent(&e, None))
            continue;
        // The connection outlives the box: events of an earlier box's window
        // may still arrive.
        if (e.type != MappingNotify && e.xany.window != m_window)
            continue;
        switch (e.type) {
        case Expose:
            if (e.xexpose.count == 0)
                draw();
            break;
        case MapNotify: {
            // Without a window manager nobody else gives us the keyboard.
            oxQuietXErrors quiet;
            XSetInputFocus(m_d, m_window, RevertToParent, CurrentTime);
            XSync(m_d, False);
            break;
        }
        case VisibilityNotify:
            // Stay above a full-screen window even where no window manager
            // honours the stacking hints (bounded, should two windows compete).
            if (e.xvisibility.state != VisibilityUnobscured && m_raises < 50) {
                ++m_raises;
                XRaiseWindow(m_d, m_window);
            }
            break;
        case FocusIn:
            if (m_ic)
                XSetICFocus(m_ic);
            break;
        case FocusOut:
            if (m_ic)
                XUnsetICFocus(m_ic);
            break;
        case MappingNotify:
            // A keyboard change (xdotool types through remapped keys) must be
            // seen before the next key is looked up.
            XRefreshKeyboardMapping(&e.xmapping);
            break;
        case KeyPress:
            onKey(e.xkey);
            break;
        case ButtonPress:
            if (e.xbutton.button == Button1)
                onPress(e.xbutton.x, e.xbutton.y);
            break;
        case ButtonRelease:
            if (e.xbutton.button == Button1)
                onRelease(e.xbutton.x, e.xbutton.y);
            break;
        case ClientMessage:
            if (e.xclient.message_type == m_wmProtocols && Atom(e.xclient.data.l[0]) == m_wmDelete)
                activate(m_escapeAnswer);
            break;
        case DestroyNotify:
            if (e.xdestroywindow.window == m_window) {
                m_windowDestroyed = true;
                activate(m_escapeAnswer);
            }
            break;
        default:
            break;
        }
    }
    return m_answer;
}

} // namespace

std::optional<oxMessageAnswer> oxNativeMessageBox(const oxMessageRequest& request)
{
    std::lock_guard<std::mutex> lock(g_boxMutex);
    // On the display of the program's window when there is one.
    const oxMainWindowContext main = oxGetMainWindowContext();
    const std::string name = main.display ? DisplayString(static_cast<Display*>(main.display)) : "";
    Display* display = boxDisplay(name);
    if (!display)
        return std::nullopt;
    // What the last box left queued (its window's last events) is not ours.
    XSync(display, True);
    Box box(display, request);
    return box.run();
}

void oxSetNativeBoxFonts(std::vector<std::string> names)
{
    std::lock_guard<std::mutex> lock(g_fontMutex);
    g_fontNames = std::move(names);
}
