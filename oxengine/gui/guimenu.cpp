#include "oxengine/gui/guimenu.h"

#include "oxengine/core/errors.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>

// ---- oxGuiPopupMenu -------------------------------------------------------------------

oxGuiPopupMenu::oxGuiPopupMenu() : m_rootMenu(this) {}

oxGuiContainer* oxGuiPopupMenu::column() const
{
    return dynamic_cast<oxGuiContainer*>(content());
}

void oxGuiPopupMenu::addItem(const std::string& text, int command)
{
    if (!content())
        setContent(std::make_unique<oxGuiVSizer>());
    if (oxGuiContainer* c = column())
        c->addChild(std::make_unique<oxGuiMenuItem>(this, command, text));
}

void oxGuiPopupMenu::addSeparator()
{
    if (!content())
        setContent(std::make_unique<oxGuiVSizer>());
    if (oxGuiContainer* c = column())
        c->addChild(std::make_unique<oxGuiHLine>());
}

oxGuiSubMenu* oxGuiPopupMenu::addSubMenu(const std::string& text)
{
    if (!content())
        setContent(std::make_unique<oxGuiVSizer>());
    oxGuiContainer* c = column();
    if (!c)
        oxAssert(false, "missing child container in popup menu");
    return c->addChild(std::make_unique<oxGuiSubMenu>(this, text));
}

void oxGuiPopupMenu::setRootMenu(oxGuiPopupMenu* root)
{
    m_rootMenu = root ? root : this;
    if (oxGuiContainer* c = column())
        for (size_t i = 0; i < c->childCount(); ++i)
            if (auto* s = dynamic_cast<oxGuiSubMenu*>(c->child(i)))
                s->popupMenu()->setRootMenu(m_rootMenu);
}

void oxGuiPopupMenu::placeAt(int x, int y)
{
    // A little room between the frame and the first and last entries.
    setPadding(defaultGuiStyle.textHeight / 5);
    setTextHeight(defaultGuiStyle.textHeight);
    setSize(getSize());
    const oxGuiSize window = applicationWindowSize();
    auto fit = [](int at, int extent, int room) {
        if (at < 0)
            return 0;
        if (room <= 0)
            return at;
        // A menu larger than the window keeps its top left corner in view.
        return std::max(0, at < room - extent ? at : room - extent);
    };
    setPosition({fit(x, m_size.width, window.width), fit(y, m_size.height, window.height)});
}

int oxGuiPopupMenu::popup(int x, int y)
{
    reset();
    placeAt(x, y);
    requestRedisplay();
    const int chosen = runModal();
    reset();
    return chosen;
}

oxGuiSubMenu* oxGuiPopupMenu::openSubMenu() const
{
    if (oxGuiContainer* c = column())
        for (size_t i = 0; i < c->childCount(); ++i)
            if (auto* s = dynamic_cast<oxGuiSubMenu*>(c->child(i)); s && s->isOpen())
                return s;
    return nullptr;
}

oxGuiPopupMenu* oxGuiPopupMenu::innermostMenu()
{
    oxGuiPopupMenu* menu = this;
    while (oxGuiSubMenu* s = menu->openSubMenu())
        menu = s->popupMenu();
    return menu;
}

oxGuiSubMenu* oxGuiPopupMenu::entryOpening(const oxGuiPopupMenu* menu)
{
    for (oxGuiPopupMenu* m = this; oxGuiSubMenu* s = m->openSubMenu(); m = s->popupMenu())
        if (s->popupMenu() == menu)
            return s;
    return nullptr;
}

bool oxGuiPopupMenu::coversPoint(int x, int y) const
{
    if (isVisible() && hits(x, y))
        return true;
    const oxGuiSubMenu* s = openSubMenu();
    return s && s->popupMenu()->coversPoint(x, y);
}

void oxGuiPopupMenu::reset()
{
    oxGuiContainer* c = column();
    if (!c)
        return;
    for (size_t i = 0; i < c->childCount(); ++i) {
        if (auto* s = dynamic_cast<oxGuiSubMenu*>(c->child(i))) {
            s->popupMenu()->reset();
            s->setOpen(false);
        }
        if (auto* b = dynamic_cast<oxGuiButton*>(c->child(i)))
            b->setHovered(false);
    }
}

int oxGuiPopupMenu::highlighted() const
{
    if (oxGuiContainer* c = column())
        for (size_t i = 0; i < c->childCount(); ++i)
            if (auto* b = dynamic_cast<oxGuiButton*>(c->child(i)); b && b->isHovered())
                return int(i);
    return -1;
}

void oxGuiPopupMenu::moveHighlight(int step)
{
    oxGuiContainer* c = column();
    if (!c || c->childCount() == 0)
        return;
    const int n = int(c->childCount());
    const int from = highlighted();
    int at = from < 0 ? (step > 0 ? -1 : n) : from;
    for (int tries = 0; tries < n; ++tries) {
        at = ((at + step) % n + n) % n;
        auto* b = dynamic_cast<oxGuiButton*>(c->child(size_t(at)));
        if (!b || !b->isActive())
            continue;
        if (from >= 0 && from != at) {
            if (auto* s = dynamic_cast<oxGuiSubMenu*>(c->child(size_t(from))))
                s->setOpen(false);
            static_cast<oxGuiButton*>(c->child(size_t(from)))->setHovered(false);
        }
        b->setHovered(true);
        return;
    }
}

bool oxGuiPopupMenu::navigate(int key, bool special)
{
    oxGuiContainer* c = column();
    const int h = highlighted();
    oxGuiElement* entry = c && h >= 0 ? c->child(size_t(h)) : nullptr;
    auto* sub = dynamic_cast<oxGuiSubMenu*>(entry);
    auto closeThis = [&] {
        oxGuiSubMenu* opener = m_rootMenu->entryOpening(this);
        if (!opener)
            return false;
        reset();
        opener->setOpen(false);
        return true;
    };
    auto openSub = [&] {
        sub->setOpen(true);
        sub->popupMenu()->moveHighlight(1);
    };
    if (special) {
        switch (key) {
        case GUI_SPECIAL_DOWN:
            moveHighlight(1);
            return true;
        case GUI_SPECIAL_UP:
            moveHighlight(-1);
            return true;
        case GUI_SPECIAL_RIGHT:
            if (sub && sub->isActive())
                openSub();
            return true;
        case GUI_SPECIAL_LEFT:
            closeThis();
            return true;
        default:
            return false;
        }
    }
    if (key == GUI_KEY_ENTER || key == GUI_KEY_SPACE) {
        if (!entry)
            return false; // Enter still reaches an entry with command 1
        if (sub)
            openSub();
        else if (auto* item = dynamic_cast<oxGuiButton*>(entry))
            item->click();
        return true;
    }
    if (key == GUI_KEY_ESCAPE) {
        if (closeThis())
            return true;
        // The outermost menu: an entry with command 8 answers Escape as a
        // cancelling button does; otherwise the menu closes.
        if (!(c && c->onKeyDown(key, special)))
            setResult(-1);
        return true;
    }
    return false;
}

bool oxGuiPopupMenu::onKeyDown(int key, bool special)
{
    if (innermostMenu()->navigate(key, special))
        return true;
    return oxGuiModalPanel::onKeyDown(key, special);
}

bool oxGuiPopupMenu::onClick(int button, int x, int y)
{
    // A menu open below this one lies over whatever it covers.
    if (oxGuiSubMenu* s = openSubMenu(); s && s->popupMenu()->onClick(button, x, y))
        return true;
    if (m_content && m_content->onClick(button, x, y))
        return true;
    if (hits(x, y))
        return true;
    // A nested menu leaves a click elsewhere to the menus around it.
    if (m_rootMenu != this)
        return false;
    setResult(-1);
    return true;
}

void oxGuiPopupMenu::draw()
{
    oxGuiModalPanel::draw();
    if (!isVisible())
        return;
    if (oxGuiSubMenu* s = openSubMenu())
        s->popupMenu()->draw();
}

// ---- entries ---------------------------------------------------------------------------

oxGuiMenuItem::oxGuiMenuItem(oxGuiPopupMenu* menu, int command, const std::string& text)
    : oxGuiModalButton(menu ? menu->rootMenu() : nullptr, command, text), m_menu(menu)
{
    m_alignment = TA_LEFT;
}

void oxGuiMenuItem::click()
{
    if (!isActive() || !m_menu)
        return;
    // Result 0 would keep the menu running: an entry without a command
    // still closes it.
    m_menu->rootMenu()->setResult(m_command != 0 ? m_command : -1);
    if (m_command != 0 && theApplication)
        theApplication->postCommand(unsigned(m_command));
}

oxGuiSubMenu::oxGuiSubMenu(oxGuiPopupMenu* parent, const std::string& text) : oxGuiButton(0, text), m_parent(parent)
{
    m_alignment = TA_LEFT;
    m_menu.setRootMenu(parent ? parent->rootMenu() : nullptr);
    m_menu.setVisible(false);
}

void oxGuiSubMenu::setOpen(bool open)
{
    if (open == isOpen())
        return;
    if (!open) {
        m_menu.reset();
        m_menu.setVisible(false);
        requestRedisplay();
        return;
    }
    // Beside the parent's inside, over its frame.
    const int right = m_position.x + m_size.width + (m_parent ? m_parent->padding() : 0);
    m_menu.placeAt(right, m_position.y);
    // Pushed back over its parent by the window's right edge: it opens on
    // the parent's left instead when there is room, so no entry of the
    // parent lies under it.
    const int width = m_menu.getSize().width;
    const int parentLeft = m_parent ? m_parent->getPosition().x : m_position.x;
    if (m_menu.getPosition().x < right && parentLeft - width >= 0)
        m_menu.setPosition({parentLeft - width, m_menu.getPosition().y});
    m_menu.setVisible(true);
    requestRedisplay();
}

void oxGuiSubMenu::setTextHeight(int h)
{
    oxGuiButton::setTextHeight(h);
    m_size.width += h;
}

void oxGuiSubMenu::setFontName(const std::string& name)
{
    oxGuiButton::setFontName(name);
    m_menu.setFontName(name);
}

void oxGuiSubMenu::setFgColour(oxColour c)
{
    oxGuiButton::setFgColour(c);
    m_menu.setFgColour(c);
}

void oxGuiSubMenu::setBgColour(oxColour c)
{
    oxGuiButton::setBgColour(c);
    // The entry gets the parent's fill made transparent; the nested menu
    // needs the parent's own fill.
    m_menu.setBgColour(m_parent ? m_parent->getBgColour() : c);
}

bool oxGuiSubMenu::onClick(int button, int x, int y)
{
    if (!isActive() || !isOpen())
        return false;
    return m_menu.onClick(button, x, y);
}

void oxGuiSubMenu::onMouseMove(int button, int x, int y)
{
    if (!isActive())
        return;
    const bool inside = hits(x, y) || (isOpen() && m_menu.coversPoint(x, y));
    if (inside != m_hover) {
        setOpen(inside);
        requestRedisplay();
    }
    m_hover = inside;
    if (isOpen())
        m_menu.onMouseMove(button, x, y);
}

void oxGuiSubMenu::draw()
{
    if (!isVisible())
        return;
    oxGuiButton::draw();
    // The arrow at the right end, in the caption's colour.
    const TextPlace place = textPlace(">");
    m_textOutput.setText(">");
    m_textOutput.setColour(colours().first);
    m_textOutput.setPosition(place.origin.x, place.origin.y);
    m_textOutput.setTextHeight(place.lineHeight);
    m_textOutput.setMinimumSize(place.block.width, place.block.height);
    m_textOutput.setAlignment(TA_RIGHT);
    m_textOutput.draw();
}
