#include "guitest.h"

#include "oxengine/gui/clipboard.h"

namespace {

// The field's text with the caret "|" and the selection in brackets, e.g.
// "[pic|]ture": the selection from 0 to 3, the caret at its end.
std::string state(const oxGuiEdit& e)
{
    const std::string& text = e.getText();
    std::string out;
    for (int index = 0, pos = 0;; ++index) {
        const bool selected = e.hasSelection();
        out += std::string(selected && index == e.selectionStart() ? "[" : "") + (index == e.caret() ? "|" : "") +
               (selected && index == e.selectionEnd() ? "]" : "");
        if (size_t(pos) >= text.size())
            return out;
        size_t next = size_t(pos);
        utf8Decode(text, next);
        out += text.substr(size_t(pos), next - size_t(pos)), pos = int(next);
    }
}

// Gives the field a state written as state() writes it.
void setState(oxGuiEdit& e, const std::string& s)
{
    std::string text;
    int index = 0, caret = 0, open = -1, close = -1;
    for (size_t pos = 0; pos < s.size();) {
        if (s[pos] == '|' || s[pos] == '[' || s[pos] == ']') {
            (s[pos] == '|' ? caret : s[pos] == '[' ? open : close) = index;
            ++pos;
            continue;
        }
        const size_t start = pos;
        utf8Decode(s, pos);
        text += s.substr(start, pos - start), ++index;
    }
    e.setText(text);
    e.setCaret(open < 0 ? caret : caret == open ? close : open); // the anchor
    e.setCaret(caret, open >= 0);
}

} // namespace

using Editing = GuiTest;

// Every key here is the field's (none reaches the widgets behind); moves post nothing, each change posts once.
TEST_F(Editing, KeysCaretScrollingAndPointer)
{
    // A focused edit at (10, 10) in a host, text height 20 (so the inner rectangle is 20 high), posting 77 on every
    // change.
    oxGuiHost host;
    app.addGUIEventListener(&host, true);
    oxGuiEdit* edit = host.addElement(std::make_unique<oxGuiEdit>(10, ""));
    edit->setTextHeight(20);
    edit->setPosition({10, 10});
    edit->setChangeCommand(77);
    setFocus(edit);
    std::string board = "unused";
    Seam<oxGuiClipboard> clipboard(oxSetGuiClipboard, {[&] { return board; }, [&](const std::string& t) { board = t; }});
    const struct {
        const char* before;
        const char* keys;
        const char* after;
        int changes;
        const char* clipboard = nullptr; // before and after, where it matters
        const char* copied = nullptr;
    } cases[] = {
        {"|", "abc", "abc|", 3},
        {"abc|", "<Home><Left>", "|abc", 0}, // stays at 0
        {"|abc", "\b", "|abc", 0},           // Backspace at 0: taken, no change
        {"|abc", "\x7f", "|bc", 1},
        {"|bc", "<End><Right>", "bc|", 0}, // stays at the end
        {"bc|", "\x7f", "bc|", 0},
        {"bc|", "<Del><Left>X", "bX|c", 1},
        {"bX|c", "\b", "b|c", 1},
        {"b|c", "<PgUp><Ins>", "b|c", 0}, // taken without effect
        // GLUT hands Latin-1 bytes for ü and ß; they are stored as UTF-8, and characters move and go as a whole.
        {"|", "Gr\xfc\xdf" "e", "Gr\xc3\xbc\xc3\x9f" "e|", 5},
        {"Gr\xc3\xbc\xc3\x9f" "e|", "<Left><Left>\b", "Gr|\xc3\x9f" "e", 1},
        {"Gr|\xc3\x9f" "e", "\x7f", "Gr|e", 1},
        // Shift selects; typing replaces it; Left collapses it to its start; Shift back over it shrinks it.
        {"|picture", "<S-Right><S-Right><S-Right>", "[pic|]ture", 0},
        {"[pic|]ture", "X", "X|ture", 1},
        {"X|ture", "<S-End>", "X[ture|]", 0},
        {"X[ture|]", "<Left>", "X|ture", 0},
        {"X|ture", "\x01", "[Xture|]", 0}, // Ctrl+A
        {"[Xture|]", "\b", "|", 1},
        {"abcd|", "<S-Home><S-Right>", "a[|bcd]", 0},
        {"a[|bcd]", "\x7f", "a|", 1},
        // Ctrl+C without a selection copies nothing; pasting turns line breaks and tabs into spaces.
        {"folder|", "\x03", "folder|", 0, "unused", "unused"},
        {"[folder|]", "\x03", "[folder|]", 0, "unused", "folder"},
        {"fold[er|]", "\x18", "fold|", 1, "unused", "er"},
        {"fold|", "\x16", "foldline one line two|", 1, "line one\r\nline\ttwo\x07", "line one\r\nline\ttwo\x07"},
        {"x|", "<S-Ins>", "xab|", 1, "ab", "ab"},
    };
    for (const auto& c : cases) {
        setState(*edit, c.before);
        if (c.clipboard)
            board = c.clipboard;
        take();
        app.type(c.keys);
        EXPECT_EQ(state(*edit), c.after) << c.before << " + " << c.keys;
        EXPECT_EQ(take(), Log(size_t(c.changes), "cmd77")) << c.before << " + " << c.keys;
        EXPECT_EQ(board, c.copied ? c.copied : board) << c.before << " + " << c.keys;
    }
    // Other special keys, Enter, Escape, Tab, control characters, surrogates and values past Unicode go on.
    for (const auto& [key, special] : {std::pair{int(GUI_SPECIAL_UP), true}, {1, true}, {13, false}, {27, false},
                                       {9, false}, {2, false}, {31, false}, {0x85, false}, {0xD800, false}, {0x110000, false}})
        EXPECT_FALSE(edit->onKeyDown(key, special)) << key;
    EXPECT_EQ(state(*edit), "xab|");

    // Caret and selection stay inside a text the owner replaces; that posts nothing.
    setState(*edit, "a lo[ng name|]");
    edit->setText("ab");
    EXPECT_EQ(state(*edit), "ab|");
    edit->setText("two\nlines"); // a line break cannot split the one line
    edit->setCaret(1);
    EXPECT_EQ(state(*edit), "t|wo lines");
    edit->setCaret(99);
    EXPECT_EQ(edit->caret(), 9);
    edit->setCaret(-4);
    EXPECT_EQ(edit->caret(), 0);
    EXPECT_TRUE(take().empty());

    // An overlong text scrolls so that the caret stays in view.
    edit->setText("");
    const double inner = edit->getSize().width - 12; // 6 each side
    app.type("a text far longer than ten letters X can hold");
    auto caretInView = [&] {
        const std::string shown = edit->shownText();
        const size_t c = size_t(edit->caret());
        return textWidth(shown.substr(0, c), 20) - edit->scrollOffset() >= -0.001 &&
               textWidth(shown.substr(0, c + 1), 20) - edit->scrollOffset() <= inner + 0.001;
    };
    // At the end the text's last letter touches the right edge.
    EXPECT_NEAR(edit->scrollOffset(), textWidth(edit->shownText(), 20) - inner, 0.001);
    app.type("<Home>");
    EXPECT_EQ(edit->scrollOffset(), 0);
    for (int i = 0; i < 30; ++i) {
        app.type("<Right>");
        ASSERT_TRUE(caretInView()) << i;
    }
    const double middle = edit->scrollOffset();
    EXPECT_GT(middle, 0);
    app.type("<Left>"); // back inside the visible part: no scrolling
    EXPECT_EQ(edit->scrollOffset(), middle);
    edit->setText("short");
    EXPECT_EQ(edit->scrollOffset(), 0);

    // The pointer places the caret and selects.
    oxGuiEdit field(20, "Wide Mind");
    field.setTextHeight(20);
    field.setPosition({100, 50});
    const int left = 100 + 3, y = 60;
    EXPECT_FALSE(field.onClick(0, 99, y) || field.onClick(2, left + 1, y)); // outside, another button
    EXPECT_TRUE(field.onClick(0, left + int(textWidth("W", 20) * 0.8), y)); // nearest edge
    EXPECT_TRUE(field.hasFocus());
    EXPECT_EQ(field.caret(), 1);
    // With the focus the caret mark is shown; clicks are read against it.
    std::vector<int> carets;
    for (int x : {left + 1, 100 + field.getSize().width - 4})
        carets.push_back(field.onClick(0, x, y) ? field.caret() : -1);
    EXPECT_EQ(carets, (std::vector{0, 9}));
    app.setKeyModifiers(KM_SHIFT); // Shift+click selects up to the point
    field.onClick(0, left + 1, y);
    app.setKeyModifiers(0);
    EXPECT_EQ(field.selectedText(), "Wide Mind");
    field.setEnabled(false); // an inactive field takes the click and ignores it
    EXPECT_TRUE(field.onClick(0, left + 1, y));
    EXPECT_EQ(field.selectedText(), "Wide Mind");

    // Dragging through the framework selects by the pointer.
    setFocus(edit);
    edit->setText("drag over me");
    const int to = 13 + 1 + int(textWidth("drag", 20)) + 3; // past the caret mark "|"
    app.handleMouseButton(0, true, 14, 20);
    EXPECT_EQ(edit->caret(), 0);
    app.handleMotion(to, 20);
    app.handleMouseButton(0, false, to, 20);
    EXPECT_EQ(state(*edit), "[drag|] over me");
}
