#include "dialogtest.h"

#include "oxengine/gui/clipboard.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/keys.h"

#include <gtest/gtest.h>

namespace {

// An edit at (10, 10) in a host behind which a listener records what gets
// through; text height 20, so the inner rectangle is 20 high.
class Editing : public testing::Test {
protected:
    void SetUp() override
    {
        app.addGUIEventListener(&host);
        app.addGUIEventListener(&behind);
        edit = host.addElement(std::make_unique<oxGuiEdit>(10, ""));
        edit->setTextHeight(20);
        edit->setPosition({10, 10});
        edit->setChangeCommand(77);
        setFocus(edit);
    }
    Log commands()
    {
        app.deliverAll();
        Log out = log;
        log.clear();
        return out;
    }
    ScriptedApp app;
    oxGuiHost host;
    Log log;
    Behind behind{log};
    oxGuiEdit* edit = nullptr;
};

} // namespace

TEST_F(Editing, TypingDeletingAndMovingTheCaret)
{
    app.type("abc");
    EXPECT_EQ(edit->getText(), "abc");
    EXPECT_EQ(edit->caret(), 3);
    EXPECT_EQ(commands(), (Log{"cmd77", "cmd77", "cmd77"}));
    app.special(GUI_SPECIAL_HOME);
    EXPECT_EQ(edit->caret(), 0);
    app.special(GUI_SPECIAL_LEFT); // stays at 0
    EXPECT_EQ(edit->caret(), 0);
    app.type("\x08"); // Backspace at 0: handled, nothing changes
    EXPECT_EQ(edit->getText(), "abc");
    app.dispatchKeyDown(GUI_KEY_DELETE, false);
    EXPECT_EQ(edit->getText(), "bc");
    app.special(GUI_SPECIAL_END);
    EXPECT_EQ(edit->caret(), 2);
    app.special(GUI_SPECIAL_RIGHT); // stays at the end
    EXPECT_EQ(edit->caret(), 2);
    app.dispatchKeyDown(GUI_KEY_DELETE, false); // at the end: nothing
    app.special(GUI_SPECIAL_DELETE);
    app.special(GUI_SPECIAL_LEFT);
    app.type("X");
    EXPECT_EQ(edit->getText(), "bXc");
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "bc");
    EXPECT_EQ(edit->caret(), 1);
    // Moves post nothing; each change posts the command once.
    EXPECT_EQ(commands(), (Log{"cmd77", "cmd77", "cmd77"}));
    // Page keys and Insert are taken without effect; other special keys pass.
    EXPECT_TRUE(edit->onKeyDown(GUI_SPECIAL_PAGE_UP, true));
    EXPECT_TRUE(edit->onKeyDown(GUI_SPECIAL_INSERT, true));
    EXPECT_FALSE(edit->onKeyDown(GUI_SPECIAL_UP, true));
    EXPECT_FALSE(edit->onKeyDown(1, true)); // F1
}

TEST_F(Editing, EnterEscapeTabAndControlCharactersAreLeftToOthers)
{
    for (int key : {13, 27, 9, 2, 31, 0x85})
        EXPECT_FALSE(edit->onKeyDown(key, false)) << key;
    EXPECT_EQ(edit->getText(), "");
    EXPECT_TRUE(commands().empty());
}

TEST_F(Editing, KeysWithoutTheFocusReachTheWidgetsBehind)
{
    Log probeLog;
    host.addElement(probe("next", &probeLog));
    {
        oxGuiEdit other(5, "x");
        setFocus(&other);
        app.type("q");
        EXPECT_EQ(edit->getText(), "");
        EXPECT_EQ(other.getText(), "qx");
    }
    // No edit has the focus now: the key goes through the host's elements.
    ASSERT_EQ(focusedElement(), nullptr);
    app.type("z");
    EXPECT_EQ(edit->getText(), "");
    EXPECT_EQ(probeLog, (Log{"next:key122"}));
    EXPECT_EQ(log, (Log{"key122"}));
}

TEST_F(Editing, UmlautsAndGreekMoveAndDeleteAsWholeCharacters)
{
    // GLUT hands Latin-1 bytes for ü and ß; they are stored as UTF-8.
    app.dispatchKeyDown('G', false);
    app.dispatchKeyDown('r', false);
    app.dispatchKeyDown(0xFC, false);
    app.dispatchKeyDown(0xDF, false);
    app.dispatchKeyDown('e', false);
    EXPECT_EQ(edit->getText(), "Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_EQ(edit->caret(), 5);
    app.special(GUI_SPECIAL_LEFT);
    app.special(GUI_SPECIAL_LEFT);
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "Gr\xc3\x9f" "e");
    app.dispatchKeyDown(GUI_KEY_DELETE, false);
    EXPECT_EQ(edit->getText(), "Gre");

    const std::string logos = "\xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82"; // λόγος
    edit->setText("");
    app.type(logos);
    EXPECT_EQ(edit->getText(), logos);
    EXPECT_EQ(edit->caret(), 5);
    app.special(GUI_SPECIAL_HOME);
    app.special(GUI_SPECIAL_RIGHT);
    app.dispatchKeyDown(GUI_KEY_DELETE, false); // ό
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
    app.setKeyModifiers(KM_SHIFT);
    app.special(GUI_SPECIAL_RIGHT);
    app.special(GUI_SPECIAL_RIGHT);
    app.special(GUI_SPECIAL_RIGHT);
    app.setKeyModifiers(0);
    EXPECT_EQ(edit->selectedText(), "pic");
    app.type("X");
    EXPECT_EQ(edit->getText(), "Xture");
    EXPECT_FALSE(edit->hasSelection());
    // Shift+End from the middle, then Left collapses to the selection's start.
    app.setKeyModifiers(KM_SHIFT);
    app.special(GUI_SPECIAL_END);
    app.setKeyModifiers(0);
    EXPECT_EQ(edit->selectedText(), "ture");
    app.special(GUI_SPECIAL_LEFT);
    EXPECT_EQ(edit->caret(), 1);
    EXPECT_FALSE(edit->hasSelection());
    // Ctrl+A and Backspace empty the field.
    app.type("\x01");
    EXPECT_EQ(edit->selectedText(), "Xture");
    app.type("\x08");
    EXPECT_EQ(edit->getText(), "");
    // A selection shrinks when Shift moves back over it.
    app.type("abcd");
    app.setKeyModifiers(KM_SHIFT);
    app.special(GUI_SPECIAL_HOME);
    app.special(GUI_SPECIAL_RIGHT);
    app.setKeyModifiers(0);
    EXPECT_EQ(edit->selectedText(), "bcd");
    app.dispatchKeyDown(GUI_KEY_DELETE, false);
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
    app.setKeyModifiers(KM_SHIFT);
    app.special(GUI_SPECIAL_LEFT);
    app.special(GUI_SPECIAL_LEFT);
    app.setKeyModifiers(0);
    app.type("\x18"); // Ctrl+X
    EXPECT_EQ(board, "er");
    EXPECT_EQ(edit->getText(), "fold");
    commands();
    board = "line one\r\nline\ttwo\x07";
    app.type("\x16"); // Ctrl+V: line breaks and tabs become spaces
    EXPECT_EQ(edit->getText(), "foldline one line two");
    EXPECT_EQ(commands(), (Log{"cmd77"}));
    app.setKeyModifiers(KM_SHIFT);
    app.special(GUI_SPECIAL_INSERT);
    app.setKeyModifiers(0);
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
    // A line break set by the owner cannot split the one line.
    edit->setText("two\nlines");
    EXPECT_EQ(edit->getText(), "two lines");
    EXPECT_EQ(edit->caret(), 1);
    edit->setCaret(99);
    EXPECT_EQ(edit->caret(), 9);
    edit->setCaret(-4);
    EXPECT_EQ(edit->caret(), 0);
    // Only the Backspace posted: the owner's changes post nothing.
    EXPECT_EQ(commands(), (Log{"cmd77"}));
}

TEST_F(Editing, OverlongTextScrollsSoTheCaretStaysInView)
{
    const double inner = edit->getSize().width - 6;
    const std::string text = "a text far longer than ten letters X can hold";
    app.type(text);
    auto caretInView = [&] {
        const std::string shown = edit->shownText();
        const double right = textWidth(shown.substr(0, size_t(edit->caret()) + 1), 20) - edit->scrollOffset();
        const double left = textWidth(shown.substr(0, size_t(edit->caret())), 20) - edit->scrollOffset();
        return left >= -0.001 && right <= inner + 0.001;
    };
    EXPECT_GT(edit->scrollOffset(), 0);
    EXPECT_TRUE(caretInView());
    // At the end the text's last letter touches the right edge.
    EXPECT_NEAR(edit->scrollOffset(), textWidth(edit->shownText(), 20) - inner, 0.001);
    app.special(GUI_SPECIAL_HOME);
    EXPECT_EQ(edit->scrollOffset(), 0);
    for (int i = 0; i < 30; ++i) {
        app.special(GUI_SPECIAL_RIGHT);
        ASSERT_TRUE(caretInView()) << i;
    }
    const double middle = edit->scrollOffset();
    EXPECT_GT(middle, 0);
    // Moving back inside the visible part does not scroll.
    app.special(GUI_SPECIAL_LEFT);
    EXPECT_EQ(edit->scrollOffset(), middle);
    // A short text again is not scrolled at all.
    edit->setText("short");
    EXPECT_EQ(edit->scrollOffset(), 0);
}

TEST_F(Editing, ClicksPlaceTheCaretAtTheNearestCharacterEdge)
{
    oxGuiEdit field(20, "Wide Mind");
    field.setTextHeight(20);
    field.setPosition({100, 50});
    const int left = 100 + 3, y = 60;
    const double w = textWidth("W", 20);
    EXPECT_FALSE(field.onClick(0, 99, y)); // outside
    EXPECT_FALSE(field.onClick(2, left + 1, y));
    EXPECT_TRUE(field.onClick(0, left + int(w * 0.8), y));
    EXPECT_TRUE(field.hasFocus());
    EXPECT_EQ(field.caret(), 1);
    // With the focus the caret mark is shown; clicks are read against it.
    EXPECT_TRUE(field.onClick(0, left + 1, y));
    EXPECT_EQ(field.caret(), 0);
    EXPECT_TRUE(field.onClick(0, 100 + field.getSize().width - 4, y));
    EXPECT_EQ(field.caret(), 9);
    // Shift+click selects up to the point.
    app.setKeyModifiers(KM_SHIFT);
    field.onClick(0, left + 1, y);
    app.setKeyModifiers(0);
    EXPECT_EQ(field.selectedText(), "Wide Mind");
    // An inactive field takes the click and ignores it.
    field.setEnabled(false);
    EXPECT_TRUE(field.onClick(0, left + 1, y));
    EXPECT_EQ(field.selectedText(), "Wide Mind");
}

TEST_F(Editing, DraggingSelectsByThePointer)
{
    edit->setText("drag over me");
    const int y = 20, left = 13;
    app.handleMouseButton(0, true, left + 1, y);
    EXPECT_EQ(edit->caret(), 0);
    app.handleMotion(left + 1 + int(textWidth("drag", 20)) + 3, y); // past the caret mark "|"
    app.handleMouseButton(0, false, left + 1 + int(textWidth("drag", 20)) + 3, y);
    EXPECT_EQ(edit->selectedText(), "drag");
    EXPECT_EQ(edit->caret(), 4);
}
