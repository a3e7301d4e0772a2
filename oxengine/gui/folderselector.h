// A tree of folders to pick one from: the roots (the file system root, the
// home folder, the user-visible mounts), each opened by a click on its
// marker. Folders are listed only when opened, so no disk is touched until
// the user asks.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/element.h"
#include "oxengine/storage/files.h"

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
    // What a row shows: a root its whole path, any other folder its name.
    static std::string caption(const oxFolderEntry& e);

    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    bool onClick(int button, int x, int y) override;
    void draw() override;

private:
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
};

// The sub-folders of folder in name order (hidden ones left out); empty for
// a folder that cannot be read or no longer exists.
std::vector<oxFilename> oxListSubFolders(const oxFilename& folder);
// Whether folder has at least one sub-folder.
bool oxHasSubFolder(const oxFilename& folder);
