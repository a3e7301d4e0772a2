// What the copy/move and conversion dialogs share: a folder tree in a
// scrolled panel to pick the target folder, for one picture a file-name
// field, and the keys (Enter is OK, Escape Cancel, Tab moves on).
#pragma once

#include "oxengine/gui/dialog.h"

#include <string>

class oxGuiContainer;
class oxGuiEdit;
class oxGuiFolderSelector;
class oxGuiScrollablePanel;

class PictureDialog : public oxGuiModalDialog {
public:
    PictureDialog();

    // Opens the tree down to path, selects it and scrolls to it.
    void setFolder(const std::string& path);
    // The selected folder, "" for none.
    std::string selectedFolder() const;
    oxGuiFolderSelector* selector() const { return m_selector; }
    oxGuiScrollablePanel* scrollPanel() const { return m_scroll; }
    // Null when the dialog is for several pictures.
    oxGuiEdit* fileNameEdit() const { return m_fileName; }

    bool onKeyDown(int key, bool special) override;

protected:
    void addFolderTree(oxGuiContainer& column);
    // "File name:" and the field, 25 letters wide.
    void addFileNameRow(oxGuiContainer& column);
    // The dialog 70 % of the window high and width wide (clamped to the
    // window), centred, the selected folder in view.
    void finishSize(int width);

private:
    oxGuiFolderSelector* m_selector = nullptr;
    oxGuiScrollablePanel* m_scroll = nullptr;
    oxGuiEdit* m_fileName = nullptr;
};
