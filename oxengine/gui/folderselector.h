// A tree of folders to pick one from: the roots (the file system root, the
// home folder, the user-visible mounts), each opened by a click on its
// marker. Folders are listed only when opened, so no disk is touched until
// the user asks. With the keyboard focus the arrow keys walk the tree (Right
// and Left open and close a folder, or go to its first child or its
// parent), Enter chooses the selected folder, as a double click on a name
// does.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/element.h"
#include "oxengine/storage/files.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct oxFolderEntry {
    enum State { LEAF = 0, COLLAPSED = 1, EXPANDED = 2 };
    int state = LEAF;
    int depth = 0; // 0 for a root
    oxFilename path;
};

class oxGuiFolderSelector : public oxGuiElement {
public:
    // The roots of oxFilename::listDrives.
    oxGuiFolderSelector();
    // These roots, in this order.
    explicit oxGuiFolderSelector(const std::vector<oxFilename>& roots);

    virtual void setSelectCommand(int command) { m_selectCommand = command; }
    int getSelectCommand() const { return m_selectCommand; }
    // Told when the user selects a folder (chosen false) and when the user
    // chooses it by Enter or a double click (chosen true).
    using SelectionHandler = std::function<void(bool chosen)>;
    void setSelectionHandler(SelectionHandler handler) { m_onSelection = std::move(handler); }

    // Appends a root row, collapsed without looking into it.
    void addEntry(const oxFilename& path);
    // Opens the tree down to path, below the root that holds the longest
    // part of it; nothing when no root holds it.
    void expandTowards(const std::string& path);
    // "" selects nothing.
    void setSelectedPath(const std::string& path);
    // The selected folder ("" for none), without a trailing "/" except for "/".
    std::string getSelectedPath() const;
    // Expands a collapsed row or collapses an expanded one. A folder that
    // has gone is taken out of the tree.
    void toggle(int index);
    // The lower left corner of the selected row, in element coordinates;
    // (0, 0) when it is not shown.
    oxGuiPoint selectedRowPosition() const;
    const std::vector<oxFolderEntry>& entries() const { return m_entries; }
    int rowHeight() const { return m_rowHeight; }
    // The row under the window point, or -1.
    int rowAt(int x, int y) const;
    // The row of the selected folder, or -1 when it is not shown.
    int selectedRow() const;
    // What a row shows: a root its whole path, any other folder its name.
    static std::string caption(const oxFolderEntry& e);

    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    bool onClick(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool acceptsFocus() const override { return true; }
    void draw() override;
    // Lays out the rows a window of that height shows, one text at a time
    // (expander marks and names), and hands each to paint: draw paints with
    // GL, a frame drawn without GL paints the same texts.
    void layOutRows(double windowHeight, const std::function<void(oxTextOutput& text)>& paint);

private:
    // Selects row i (clamped) as the user did, and says so.
    void selectRow(int i);
    void notify(bool chosen);
    // Rows directly below entry i: depth greater than its own, up to the
    // next row that is not.
    size_t subtreeEnd(size_t i) const;
    void removeRows(size_t from, size_t to);
    void recomputeSize();
    GLFont* font();

    std::vector<oxFolderEntry> m_entries;
    oxTextOutput m_textOutput;
    int m_rowHeight;
    oxFilename m_selected;
    int m_selectCommand = 0;
    SelectionHandler m_onSelection;
    // The last click on a name, to tell a double click.
    int m_lastClickRow = -1;
    std::chrono::steady_clock::time_point m_lastClick;
};

// The sub-folders of folder in name order (hidden ones left out); empty for
// a folder that cannot be read or no longer exists.
std::vector<oxFilename> oxListSubFolders(const oxFilename& folder);
// Whether folder has at least one sub-folder.
bool oxHasSubFolder(const oxFilename& folder);
