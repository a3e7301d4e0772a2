// Message and folder dialogs and the folder selector without a display; modal runs answered by scripted events.
#include "guitest.h"

#include "testsupport.h"

#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/folderdialog.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/platform/messagebox.h"

#include <filesystem>

namespace fs = std::filesystem;
using V = std::vector<std::string>;

using Folders = GuiTest;

TEST_F(Folders, MessageAndFolderDialogs)
{
    // root/ alpha/{deep/deeper/deepest,other} beta/ gamma/sub Beta2/ .hidden/sub file.txt
    if (!oxFilename::isInitialized())
        oxFilename::initialize();
    TempDir tmp;
    const std::string root = tmp.path();
    for (const char* d : {"alpha/deep/deeper/deepest", "alpha/other", "beta", "gamma/sub", "Beta2", ".hidden/sub"})
        fs::create_directories(root + "/" + d);
    writeFile(root + "/file.txt", "x");

    // Message dialogs, in a 1920 x 1080 window.
    for (const auto& [flags, buttons] : {std::pair<int, V>{0, {"Yes=2", "No=4"}}, {MB_OK | MB_CANCEL, {"OK=1", "Cancel=8"}},
                                         {MB_CANCEL, {"Yes=2", "No=4", "Cancel=8"}}, {MB_OK | MB_YES, {"OK=1"}}}) {
        const oxGuiModalMessageDialog msg("?", "", flags, MI_NONE);
        V captions;
        for (const oxGuiModalButton* b : msg.buttons())
            captions.push_back(b->getText() + "=" + std::to_string(b->getCommand()));
        EXPECT_EQ(captions, buttons) << flags;
    }
    oxGuiModalMessageDialog msg("Wider than the buttons below it\nin two lines", "Title", MB_YES | MB_NO, MI_NONE);
    const oxGuiPoint centred = msg.getPosition();
    const oxGuiSize size = msg.getSize();
    EXPECT_EQ(centred, (oxGuiPoint{(1920 - size.width) / 2, (1080 - size.height) / 2}));
    ASSERT_EQ(dragAt(msg, centred.x + 5, centred.y + 5), Drag(&msg, 3));
    msg.dragBy(-10, 7);
    EXPECT_EQ(msg.getPosition(), (oxGuiPoint{centred.x - 10, centred.y + 7}));
    std::vector<oxGuiPoint> stops; // at the window's edges
    for (int d5000 : {-5000, 5000})
        msg.dragBy(d5000, d5000), stops.push_back(msg.getPosition());
    EXPECT_EQ(stops, (std::vector<oxGuiPoint>{{0, 0}, {1920 - size.width, 1080 - size.height}}));
    // Below the title bar the press is the content's (nothing to drag there).
    EXPECT_EQ(dragAt(msg, msg.getPosition().x + 5, msg.getPosition().y + defaultGuiStyle.textHeight + 5), NO_DRAG);

    SoundRecorder sounds;
    // Enter is the focused button (at first the first), Escape Cancel, else No, else OK; Tab and arrows move.
    const struct {
        int buttons, icon;
        std::string keys;
        int answer;
    } byKeys[] = {
        {0, MI_QUESTION, "\t ", GUI_RESULT_NO},
        {MB_OK | MB_CANCEL, MI_WARNING, "\x1b", GUI_RESULT_CANCEL},
        {MB_YES | MB_NO, MI_NONE, "\r", GUI_RESULT_YES},
        {MB_YES | MB_NO, MI_NONE, "\x1b", GUI_RESULT_NO},
        {MB_OK, MI_NONE, "\x1b", GUI_RESULT_OK},
        {MB_YES | MB_NO, MI_NONE, "<Right>\r", GUI_RESULT_NO},
        {MB_YES | MB_NO | MB_CANCEL, MI_NONE, "<Left>\r", GUI_RESULT_CANCEL},
        {MB_OK | MB_CANCEL, MI_NONE, "<Down>\r", GUI_RESULT_CANCEL},
    };
    for (const auto& c : byKeys) {
        app.script.push_back([&] { app.type(c.keys); });
        EXPECT_EQ(runMessageDialog("?", "", c.buttons, c.icon), c.answer) << c.buttons << " " << c.keys;
    }
    EXPECT_EQ(sounds.played(), (V{"dialog-question", "dialog-warning"}));

    // Running, a dialog opened before the window went full-screen is centred again; moved by the user, kept inside.
    oxGuiModalMessageDialog asking("Search sub-folders?", "", MB_YES | MB_NO, MI_NONE);
    const oxGuiSize asked = asking.getSize();
    app.script.push_back([&] {
        app.windowWidth = 3000, app.windowHeight = 2000;
        app.dispatchReshape(3000, 2000);
        EXPECT_EQ(asking.getPosition(), (oxGuiPoint{(3000 - asked.width) / 2, (2000 - asked.height) / 2}));
        asking.dragBy(2000, 1000);
        app.windowWidth = 1000, app.windowHeight = 800;
        app.dispatchReshape(1000, 800);
        EXPECT_EQ(asking.getPosition(), (oxGuiPoint{1000 - asked.width, 800 - asked.height}));
        app.type("\r");
    });
    EXPECT_EQ(asking.run(), GUI_RESULT_YES);

    // The folder selector. Its rows: "+" collapsed, "-" expanded, "." without sub-folders; indented by depth.
    const auto rows = [](const oxGuiFolderSelector& s) {
        V out;
        for (const oxFolderEntry& e : s.entries())
            out.push_back(std::string(size_t(e.depth), ' ') + "+-."[e.state == 1 ? 0 : e.state == 2 ? 1 : 2] +
                          oxGuiFolderSelector::caption(e));
        return out;
    };
    // A click on the marker (name: false) or the name of row i.
    const auto clickRow = [](oxGuiFolderSelector& s, int i, bool name) {
        const oxFolderEntry& e = s.entries()[size_t(i)];
        const int x = s.getPosition().x + e.depth * s.rowHeight() + (name ? s.rowHeight() + 3 : 2);
        return s.onClick(0, x, s.getPosition().y + i * s.rowHeight() + 2);
    };
    oxGuiFolderSelector s({oxFilename(root)});
    s.setTextHeight(20);
    s.setPosition({0, 0});
    s.setSelectCommand(55);
    EXPECT_EQ(rows(s), (V{"+" + root}));
    EXPECT_TRUE(clickRow(s, 0, false));
    // Folders only, hidden ones left out, in name order whatever the case.
    EXPECT_EQ(rows(s), (V{"-" + root, " +alpha", " .beta", " .Beta2", " +gamma"}));
    EXPECT_TRUE(clickRow(s, 1, false));
    EXPECT_TRUE(clickRow(s, 2, false));
    EXPECT_EQ(rows(s), (V{"-" + root, " -alpha", "  -deep", "   +deeper", "  .other", " .beta", " .Beta2", " +gamma"}));
    EXPECT_TRUE(clickRow(s, 5, false)); // a leaf's marker does nothing, but the click is taken
    EXPECT_EQ(s.entries().size(), 8u);
    EXPECT_FALSE(s.onClick(0, 5, 8 * 20 + 2) || s.onClick(1, 5, 2)); // past the last row, another button
    EXPECT_TRUE(clickRow(s, 3, true));
    EXPECT_EQ(s.getSelectedPath(), root + "/alpha/deep/deeper");
    EXPECT_EQ(s.selectedRowPosition(), (oxGuiPoint{3 * 20, 4 * 20}));
    EXPECT_EQ(take(), (Log{"cmd55"}));
    // Collapsing removes every depth; reopening lists afresh.
    s.toggle(0);
    EXPECT_EQ(rows(s), (V{"+" + root}));
    fs::create_directories(root + "/delta");
    s.toggle(0);
    EXPECT_EQ(rows(s), (V{"-" + root, " +alpha", " .beta", " .Beta2", " .delta", " +gamma"}));

    // A root inside another, as the home folder lies inside "/".
    oxGuiFolderSelector nested({oxFilename(root), oxFilename(root + "/alpha")});
    nested.setTextHeight(20);
    nested.expandTowards(root + "/alpha/deep/deeper");
    const V expanded{"+" + root, "-" + root + "/alpha", " -deep", "  +deeper", " .other"};
    EXPECT_EQ(rows(nested), expanded);
    nested.toggle(0); // collapsing the outer root leaves the inner root where it is
    EXPECT_EQ(nested.entries().size(), 10u);
    nested.toggle(0);
    EXPECT_EQ(rows(nested), expanded);
    // Outside every root, or nothing: nothing opens.
    oxGuiFolderSelector t({oxFilename(root + "/gamma")});
    t.expandTowards(root + "/alpha/deep");
    t.expandTowards("");
    EXPECT_EQ(rows(t), (V{"+" + root + "/gamma"}));
    t.setSelectedPath(root + "/alpha");
    EXPECT_EQ(t.selectedRowPosition(), (oxGuiPoint{0, 0})); // not shown

    // The dialog opens at a deep path and answers the tree's keys, a double click and a typed path.
    // Enough sibling folders that the deep one lies below the viewport.
    for (int i = 0; i < 60; ++i)
        fs::create_directories(root + "/alpha/deep/deeper/f" + std::to_string(100 + i));
    std::string path = root + "/alpha/deep/deeper/f159";
    oxGuiModalFolderDialog atDeep(path, "Where to?", {oxFilename(root)});
    const oxGuiFolderSelector* deepTree = atDeep.selector();
    EXPECT_EQ(deepTree->getSelectedPath(), path);
    // The selected row is scrolled into the viewport.
    const oxGuiScrollablePanel* panel = atDeep.scrollPanel();
    const int top = panel->getPosition().y, shownAt = deepTree->selectedRowPosition().y - panel->scroll().y;
    EXPECT_GT(shownAt, top);
    EXPECT_LE(shownAt, top + panel->getSize().height);
    app.script.push_back([&] { app.type("\x1b"); }); // cancelled: unchanged
    EXPECT_FALSE(atDeep.run());
    EXPECT_EQ(path, root + "/alpha/deep/deeper/f159");

    std::string chosen = root + "/beta";
    oxGuiModalFolderDialog d(chosen, "Where to?", {oxFilename(root)});
    oxGuiFolderSelector* sel = d.selector();
    EXPECT_EQ(focusedElement(), sel); // the arrows walk the tree at once
    // From beta: Up to alpha, Right opens it, Right to its first child, Left back to alpha, Enter.
    app.script.push_back([&] {
        app.type("<Up><Right><Right>");
        EXPECT_EQ(sel->getSelectedPath(), root + "/alpha/deep");
        EXPECT_EQ(d.pathField()->getText(), root + "/alpha/deep"); // the field follows
        app.type("<Left>\r");
    });
    EXPECT_TRUE(d.run());
    EXPECT_EQ(chosen, root + "/alpha");
    // Two clicks on one name choose it.
    const int gamma = int(sel->entries().size()) - 1;
    const oxGuiPointD at = toWindowPoint(
        *sel, {sel->getPosition().x + 2 * sel->rowHeight() + 3, sel->getPosition().y + gamma * sel->rowHeight() + 2});
    app.script.push_back([&] {
        for (int i = 0; i < 2; ++i) {
            app.handleMouseButton(0, true, int(at.x), int(at.y));
            app.handleMouseButton(0, false, int(at.x), int(at.y));
        }
    });
    EXPECT_TRUE(d.run());
    EXPECT_EQ(chosen, root + "/gamma");

    // A path typed or pasted is chosen when it exists.
    MessageCapture boxes;
    app.script.push_back([&] { app.type("\x0c" + root + "/nowhere\r"); }); // Ctrl+L: the field
    // Told, and back in the dialog with the field's keys: a file stands for its folder.
    app.script.push_back([&] {
        d.pathField()->selectAll();
        app.type(root + "/file.txt\r");
    });
    EXPECT_TRUE(d.run());
    EXPECT_EQ(chosen, root);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "The folder '" + root + "/nowhere' does not exist.");
    // "~" is the home folder.
    app.script.push_back([&] { app.type("\x0c~\r"); });
    EXPECT_TRUE(d.run());
    EXPECT_EQ(oxFilename(chosen), oxFilename::homeFolder());

    // Folders that vanish leave the tree.
    fs::remove_all(root + "/gamma");
    s.toggle(5); // gamma, listed as having a sub-folder
    EXPECT_EQ(rows(s), (V{"-" + root, " +alpha", " .beta", " .Beta2", " .delta"}));
    fs::remove_all(root + "/alpha/deep"); // emptied since: a leaf now
    fs::remove_all(root + "/alpha/other");
    s.toggle(1);
    EXPECT_EQ(rows(s), (V{"-" + root, " .alpha", " .beta", " .Beta2", " .delta"}));
    fs::remove_all(root); // the whole tree gone
    s.toggle(0);
    s.toggle(0);
    EXPECT_TRUE(s.entries().empty());
    fs::create_directories(root); // for TempDir
}
