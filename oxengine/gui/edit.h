// A one-line text field with a caret, a selection and the clipboard keys.
// The label's text is the edited text (UTF-8); caret and selection count
// characters. A text wider than the field scrolls so the caret stays in
// view.
#pragma once

#include "oxengine/gui/edittext.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/panel.h"

class oxGuiEdit : public oxGuiLabel {
public:
    // At least widthInChars letters X wide.
    explicit oxGuiEdit(int widthInChars = 10, const std::string& text = std::string(), int alignment = TA_LEFT);

    // Stored; they take effect at the next setTextHeight.
    virtual void setMargins(int left, int top, int right, int bottom);
    virtual oxGuiMargins getMargins() const { return m_margins; }
    // Posted after every change of the text by the user when above 0.
    virtual void setChangeCommand(int command) { m_changeCommand = command; }
    virtual int getChangeCommand() const { return m_changeCommand; }

    // Line breaks become spaces; caret and selection are kept where they
    // still fit. Posts nothing.
    void setText(const std::string& text) override;

    int caret() const { return m_edit.caret(); }
    void setCaret(int index, bool extend = false);
    void selectAll();
    bool hasSelection() const { return m_edit.hasSelection(); }
    int selectionStart() const { return m_edit.selectionStart(); }
    int selectionEnd() const { return m_edit.selectionEnd(); }
    std::string selectedText() const { return m_edit.selectedText(); }
    // How far the text is scrolled to the left, in pixels.
    double scrollOffset() const { return m_scroll; }
    // The text as shown: with the caret mark "|" while the field has the focus.
    std::string shownText() const;

    void setTextHeight(int h) override;
    void setSize(oxGuiSize s) override;
    bool onClick(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    // A press starts a selection by the pointer.
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void dragBy(int dx, int dy) override;
    void onFocusChanged(bool focused) override;
    bool acceptsFocus() const override { return true; }
    void draw() override;

    // The caret index nearest to window point x (on the text's line).
    int caretAt(int x, int y);

private:
    // Widths at height h, or at the inner height.
    double measureWidth(const std::string& text, double h);
    double measureWidth(const std::string& text);
    // Where the shown text starts, left of the inner rectangle's edge when
    // scrolled; in element coordinates.
    double textLeft();
    double shownWidth(int displayIndex);
    int displayIndex(int textIndex) const;
    void keepCaretVisible();
    bool editKey(int key, bool special, bool& changed);
    void changed();

    oxGuiEditText m_edit;
    oxGuiMargins m_margins;
    int m_widthInChars;
    int m_changeCommand = 0;
    int m_textHeight = 0;
    double m_scroll = 0;
    double m_dragX = 0, m_dragY = 0;
};
