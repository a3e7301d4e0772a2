// The text model of an edit field: UTF-8 text with a caret and a selection
// anchor, both counted in characters (code points), so every move and
// deletion takes whole characters and never splits a multi-byte sequence.
#pragma once

#include <string>

class oxGuiEditText {
public:
    // Replaces the text; caret and anchor are kept where they still fit.
    void setText(const std::string& text);
    const std::string& text() const { return m_text; }
    int length() const { return m_length; }

    int caret() const { return m_caret; }
    int anchor() const { return m_anchor; }
    // Moves the caret (clamped to 0 ... length); extend keeps the anchor, so
    // the selection grows or shrinks, otherwise the selection goes.
    void moveCaret(int to, bool extend);
    void selectAll();
    bool hasSelection() const { return m_caret != m_anchor; }
    int selectionStart() const { return m_caret < m_anchor ? m_caret : m_anchor; }
    int selectionEnd() const { return m_caret < m_anchor ? m_anchor : m_caret; }
    std::string selectedText() const;

    // Each returns whether the text changed. insert replaces the selection;
    // the erase operations remove the selection if there is one, else the
    // character before (backward) or at (forward) the caret.
    bool insert(const std::string& utf8);
    bool eraseBackward();
    bool eraseForward();
    bool eraseSelection();

    // The byte offset of character index i.
    size_t byteOffset(int i) const;

private:
    void erase(int from, int to);

    std::string m_text;
    int m_length = 0;
    int m_caret = 0;
    int m_anchor = 0;
};

// A text made fit for a one-line field: line breaks and tabs become spaces,
// other control characters are dropped.
std::string oxGuiSingleLine(const std::string& utf8);
