// A list of text rows with at most one selected row. The rows share the
// inner height equally. Rows are chosen by click, by the arrow keys while
// the list has the focus, and by the wheel over it.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/element.h"
#include "oxengine/gui/panel.h"

#include <string>
#include <vector>

class oxGuiList : public oxGuiElement {
public:
    oxGuiList() = default;
    explicit oxGuiList(std::vector<std::string> items);

    virtual void setMargins(int left, int top, int right, int bottom);
    virtual oxGuiMargins getMargins() const { return m_margins; }
    virtual void setAlignment(int alignment) { m_alignment = alignment; }
    virtual int getAlignment() const { return m_alignment; }
    virtual std::vector<std::string> getItems() const { return m_items; }
    // -1 or below clears the selection; past the end selects the last row.
    // Posts nothing.
    virtual void setSelected(int index);
    virtual int getSelected() const { return m_selected; }
    // Posted when the user changes the selection (0: nothing).
    virtual void setSelectCommand(int command) { m_selectCommand = command; }
    virtual int getSelectCommand() const { return m_selectCommand; }

    // As wide as the widest row, one text height per row, plus the margins.
    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    bool onClick(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool onMouseWheel(int direction, int x, int y) override;
    void onFocusChanged(bool focused) override;
    bool acceptsFocus() const override { return !m_items.empty(); }
    void draw() override;

    // The row under the window point, or -1.
    int rowAt(int x, int y) const;
    // Top of row i within the inner rectangle, in pixels (i may be n).
    int rowTop(int i) const;

private:
    GLFont* font();
    // Selects by user action: redisplay, and the command when it changed.
    void choose(int index);

    std::vector<std::string> m_items;
    oxGuiMargins m_margins;
    int m_selected = -1;
    int m_selectCommand = 0;
    oxTextOutput m_textOutput;
    int m_alignment = TA_LEFT;
};
