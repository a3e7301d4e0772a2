// Popup menus drawn by the toolkit: a modal panel holding a column of
// entries (commands, separators, submenus). popup runs the menu at a point;
// choosing an entry ends the run with the entry's command and posts the
// command to the application. Submenus open beside their entry while the
// pointer rests on it. The keyboard works too: Up and Down move the
// highlight, Right or Enter opens a submenu, Left or Escape closes one (or,
// in the outermost menu, the whole menu), Enter or Space chooses.
#pragma once

#include "oxengine/gui/button.h"
#include "oxengine/gui/modal.h"

#include <string>

class oxGuiContainer;
class oxGuiSubMenu;

class oxGuiPopupMenu : public oxGuiModalPanel {
public:
    oxGuiPopupMenu();

    // Entries go into the content column, made with the first entry.
    // Items and separators are not added when the content is no container.
    void addItem(const std::string& text, int command);
    void addSeparator();
    // Fatal when the content is no container.
    oxGuiSubMenu* addSubMenu(const std::string& text);

    // The menu whose run the entries end: the outermost one. Passed on to
    // the nested menus.
    void setRootMenu(oxGuiPopupMenu* root);
    oxGuiPopupMenu* rootMenu() const { return m_rootMenu; }
    // Lays the menu out and puts its upper left corner at (x, y), pushed
    // left or up just enough to stay inside the window.
    void placeAt(int x, int y);
    // Runs the menu at (x, y): the chosen command, or 0 when dismissed.
    int popup(int x, int y);

    // The submenu entry whose menu is open, or null.
    oxGuiSubMenu* openSubMenu() const;
    // The innermost open menu (this one when none of its submenus is open).
    oxGuiPopupMenu* innermostMenu();
    // The submenu entry (of this menu or below) whose nested menu is menu.
    oxGuiSubMenu* entryOpening(const oxGuiPopupMenu* menu);
    // Closes every open submenu below this menu and clears the highlights.
    void reset();
    // The entry highlighted by pointer or keys, or -1; entries are the
    // column's children (separators included, never highlighted).
    int highlighted() const;
    // On this menu or on one of the menus open below it.
    bool coversPoint(int x, int y) const;

    // An entry, or the menu's area, takes the click; outside every open
    // menu the outermost one ends without a command.
    bool onClick(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    // The open submenus are drawn last, over their parents.
    void draw() override;

private:
    oxGuiContainer* column() const;
    // Highlights the next choosable entry after (step 1) or before (-1) the
    // highlighted one, wrapping around.
    void moveHighlight(int step);
    bool navigate(int key, bool special);

    oxGuiPopupMenu* m_rootMenu;
};

// A command entry.
class oxGuiMenuItem : public oxGuiModalButton {
public:
    oxGuiMenuItem(oxGuiPopupMenu* menu, int command, const std::string& text);
    // Ends the outermost menu with the command (an entry without one ends
    // it with nothing chosen); posts the command when not 0.
    void click() override;
    // Menus are worked with the highlight, not the Tab focus.
    bool acceptsFocus() const override { return false; }

private:
    oxGuiPopupMenu* m_menu;
};

// An entry that opens a nested menu beside itself.
class oxGuiSubMenu : public oxGuiButton {
public:
    oxGuiSubMenu(oxGuiPopupMenu* parent, const std::string& text);

    oxGuiPopupMenu* popupMenu() { return &m_menu; }
    const oxGuiPopupMenu* popupMenu() const { return &m_menu; }
    bool isOpen() const { return m_menu.isVisible(); }
    // Places the nested menu beside the entry (right of the parent menu,
    // else left of it) and shows it, or hides it.
    void setOpen(bool open);

    // As a button, one text height wider for the arrow.
    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    void setFgColour(oxColour c) override;
    void setBgColour(oxColour c) override;
    bool onClick(int button, int x, int y) override;
    void onMouseMove(int button, int x, int y) override;
    // Nothing happens on its own: it opens by hover or keys.
    void click() override {}
    bool acceptsFocus() const override { return false; }
    void draw() override;

private:
    oxGuiPopupMenu* m_parent;
    oxGuiPopupMenu m_menu;
};
