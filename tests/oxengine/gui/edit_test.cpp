#include "guitest.h"

#include "oxengine/gui/clipboard.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/keys.h"

namespace {

// A focused edit at (10, 10) in a host, text height 20 (so the inner
// rectangle is 20 high), posting 77 on every change.
class Editing : public GuiTest {
protected:
    void SetUp() override
    {
        app.addGUIEventListener(&host);
        GuiTest::SetUp();
        edit = host.addElement(std::make_unique<oxGuiEdit>(10, ""));
        edit->setTextHeight(20);
        edit->setPosition({10, 10});
        edit->setChangeCommand(77);
        setFocus(edit);
    }
    void del() { app.dispatchKeyDown(GUI_KEY_DELETE, false); }
    oxGuiHost host;
    oxGuiEdit* edit = nullptr;
};

const Log changes(size_t n)
{
    return Log(n, "cmd77");
}

} // namespace

TEST_F(Editing, TypingDeletingAndMovingTheCaret)
{
    app.type("abc");
    EXPECT_EQ(edit->getText(), "abc");
    EXPECT_EQ(edit->caret(), 3);
    EXPECT_EQ(take(), changes(3));
    app.special({GUI_SPECIAL_HOME, GUI_SPECIAL_LEFT}); // stays at 0
    EXPECT_EQ(edit->caret(), 0);
    app.type("\x08"); // Backspace at 0: handled, nothing changes
    del();
    EXPECT_EQ(edit->getText(), "bc");
    app.special({GUI_SPECIAL_END, GUI_SPECIAL_RIGHT}); // stays at the end
    EXPECT_EQ(edit->caret(), 2);
    del(); // at the end: nothing
    app.special({GUI_SPECIAL_DELETE, GUI_SPECIAL_LEFT});
    app.type("X");
    EXPECT_EQ(edit->getText(), "bXc");
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "bc");
    EXPECT_EQ(edit->caret(), 1);
    // Every key was the edit's; moves post nothing, each change posts once.
    EXPECT_EQ(take(), changes(3));
    // Page keys and Insert are taken without effect; other special keys, Enter,
    // Escape, Tab and control characters are left to others.
    EXPECT_TRUE(edit->onKeyDown(GUI_SPECIAL_PAGE_UP, true));
    EXPECT_TRUE(edit->onKeyDown(GUI_SPECIAL_INSERT, true));
    EXPECT_FALSE(edit->onKeyDown(GUI_SPECIAL_UP, true));
    EXPECT_FALSE(edit->onKeyDown(1, true)); // F1
    for (int key : {13, 27, 9, 2, 31, 0x85})
        EXPECT_FALSE(edit->onKeyDown(key, false)) << key;
    EXPECT_EQ(edit->getText(), "bc");
}

TEST_F(Editing, KeysWithoutTheFocusReachTheWidgetsBehind)
{
    Log probeLog;
    host.addElement(probe("next", &probeLog));
    {
        oxGuiEdit other(5, "x");
        setFocus(&other);
        app.type("q");
        EXPECT_EQ(other.getText(), "qx");
    }
    ASSERT_EQ(focusedElement(), nullptr); // no edit has the focus now
    app.type("z");
    EXPECT_EQ(edit->getText(), "");
    EXPECT_EQ(probeLog, (Log{"next:key122"}));
    EXPECT_EQ(log, (Log{"key122"}));
}

TEST_F(Editing, UmlautsAndGreekMoveAndDeleteAsWholeCharacters)
{
    // GLUT hands Latin-1 bytes for ü and ß; they are stored as UTF-8.
    for (int key : {int('G'), int('r'), 0xFC, 0xDF, int('e')})
        app.dispatchKeyDown(key, false);
    EXPECT_EQ(edit->getText(), "Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_EQ(edit->caret(), 5);
    app.special({GUI_SPECIAL_LEFT, GUI_SPECIAL_LEFT});
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "Gr\xc3\x9f" "e");
    del();
    EXPECT_EQ(edit->getText(), "Gre");

    edit->setText("");
    app.type("\xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82"); // λόγος
    EXPECT_EQ(edit->caret(), 5);
    app.special({GUI_SPECIAL_HOME, GUI_SPECIAL_RIGHT});
    del(); // ό
    EXPECT_EQ(edit->getText(), "\xce\xbb\xce\xb3\xce\xbf\xcf\x82");
    app.special(GUI_SPECIAL_END);
    app.type("\x08\x08");
    EXPECT_EQ(edit->getText(), "\xce\xbb\xce\xb3");
    // Surrogates and values past Unicode are no characters.
    EXPECT_FALSE(edit->onKeyDown(0xD800, false));
    EXPECT_FALSE(edit->onKeyDown(0x110000, false));
}

TEST_F(Editing, ShiftSelectsAndTypingReplacesTheSelection)
{
    app.type("picture");
    app.special(GUI_SPECIAL_HOME);
    app.special({GUI_SPECIAL_RIGHT, GUI_SPECIAL_RIGHT, GUI_SPECIAL_RIGHT}, KM_SHIFT);
    EXPECT_EQ(edit->selectedText(), "pic");
    app.type("X");
    EXPECT_EQ(edit->getText(), "Xture");
    EXPECT_FALSE(edit->hasSelection());
    // Shift+End from the middle, then Left collapses to the selection's start.
    app.special(GUI_SPECIAL_END, KM_SHIFT);
    EXPECT_EQ(edit->selectedText(), "ture");
    app.special(GUI_SPECIAL_LEFT);
    EXPECT_EQ(edit->caret(), 1);
    EXPECT_FALSE(edit->hasSelection());
    app.type("\x01"); // Ctrl+A and Backspace empty the field
    EXPECT_EQ(edit->selectedText(), "Xture");
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "");
    // A selection shrinks when Shift moves back over it.
    app.type("abcd");
    app.special({GUI_SPECIAL_HOME, GUI_SPECIAL_RIGHT}, KM_SHIFT);
    EXPECT_EQ(edit->selectedText(), "bcd");
    del();
    EXPECT_EQ(edit->getText(), "a");
}

TEST_F(Editing, ClipboardKeysCopyCutAndPasteOneLine)
{
    std::string board = "unused";
    const oxGuiClipboard previous = oxSetGuiClipboard({[&] { return board; }, [&](const std::string& t) { board = t; }});
    app.type("folder");
    app.type("\x03"); // Ctrl+C without a selection copies nothing
    EXPECT_EQ(board, "unused");
    edit->selectAll();
    app.type("\x03");
    EXPECT_EQ(board, "folder");
    app.special(GUI_SPECIAL_END);
    app.special({GUI_SPECIAL_LEFT, GUI_SPECIAL_LEFT}, KM_SHIFT);
    app.type("\x18"); // Ctrl+X
    EXPECT_EQ(board, "er");
    EXPECT_EQ(edit->getText(), "fold");
    take();
    board = "line one\r\nline\ttwo\x07";
    app.type("\x16"); // Ctrl+V: line breaks and tabs become spaces
    EXPECT_EQ(edit->getText(), "foldline one line two");
    EXPECT_EQ(take(), changes(1));
    app.special(GUI_SPECIAL_INSERT, KM_SHIFT);
    EXPECT_EQ(edit->getText(), "foldline one line twoline one line two");
    oxSetGuiClipboard(previous);
}

TEST_F(Editing, ReplacedTextKeepsTheCaretAndSelectionInsideIt)
{
    edit->setText("a long name");
    app.special(GUI_SPECIAL_END);
    edit->setCaret(2, true);
    edit->setText("ab");
    EXPECT_EQ(edit->caret(), 2);
    EXPECT_FALSE(edit->hasSelection());
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "a");
    edit->setText("two\nlines"); // a line break cannot split the one line
    EXPECT_EQ(edit->getText(), "two lines");
    EXPECT_EQ(edit->caret(), 1);
    edit->setCaret(99);
    EXPECT_EQ(edit->caret(), 9);
    edit->setCaret(-4);
    EXPECT_EQ(edit->caret(), 0);
    EXPECT_EQ(take(), changes(1)); // only the Backspace: the owner's changes post nothing
}

TEST_F(Editing, OverlongTextScrollsSoTheCaretStaysInView)
{
    const double inner = edit->getSize().width - 12; // 6 each side
    app.type("a text far longer than ten letters X can hold");
    auto caretInView = [&] {
        const std::string shown = edit->shownText();
        const size_t c = size_t(edit->caret());
        return textWidth(shown.substr(0, c), 20) - edit->scrollOffset() >= -0.001 &&
               textWidth(shown.substr(0, c + 1), 20) - edit->scrollOffset() <= inner + 0.001;
    };
    EXPECT_TRUE(caretInView());
    // At the end the text's last letter touches the right edge.
    EXPECT_NEAR(edit->scrollOffset(), textWidth(edit->shownText(), 20) - inner, 0.001);
    EXPECT_GT(edit->scrollOffset(), 0);
    app.special(GUI_SPECIAL_HOME);
    EXPECT_EQ(edit->scrollOffset(), 0);
    for (int i = 0; i < 30; ++i) {
        app.special(GUI_SPECIAL_RIGHT);
        ASSERT_TRUE(caretInView()) << i;
    }
    const double middle = edit->scrollOffset();
    EXPECT_GT(middle, 0);
    app.special(GUI_SPECIAL_LEFT); // back inside the visible part: no scrolling
    EXPECT_EQ(edit->scrollOffset(), middle);
    edit->setText("short");
    EXPECT_EQ(edit->scrollOffset(), 0);
}

TEST_F(Editing, ThePointerPlacesTheCaretAndSelects)
{
    oxGuiEdit field(20, "Wide Mind");
    field.setTextHeight(20);
    field.setPosition({100, 50});
    const int left = 100 + 3, y = 60;
    EXPECT_FALSE(field.onClick(0, 99, y)); // outside
    EXPECT_FALSE(field.onClick(2, left + 1, y));
    EXPECT_TRUE(field.onClick(0, left + int(textWidth("W", 20) * 0.8), y)); // nearest edge
    EXPECT_TRUE(field.hasFocus());
    EXPECT_EQ(field.caret(), 1);
    // With the focus the caret mark is shown; clicks are read against it.
    EXPECT_TRUE(field.onClick(0, left + 1, y));
    EXPECT_EQ(field.caret(), 0);
    EXPECT_TRUE(field.onClick(0, 100 + field.getSize().width - 4, y));
    EXPECT_EQ(field.caret(), 9);
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
    EXPECT_EQ(edit->selectedText(), "drag");
    EXPECT_EQ(edit->caret(), 4);
}
