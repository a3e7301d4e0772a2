// The folder dialog: a prompt, a field for a typed or pasted path, and a
// scrolled folder tree opened down to the given folder with that folder
// selected. Selecting in the tree fills the field; OK, Enter and a double
// click choose the field's folder, which must exist.
#pragma once

#include "oxengine/gui/dialog.h"
#include "oxengine/storage/files.h"

#include <string>
#include <vector>

class oxGuiEdit;
class oxGuiFolderSelector;
class oxGuiScrollablePanel;

class oxGuiModalFolderDialog : public oxGuiModalDialog {
public:
    // path is the caller's, read now and written when the dialog ends with
    // OK and a folder is selected; it must outlive the dialog.
    oxGuiModalFolderDialog(std::string& path, const std::string& prompt);
    // With these roots instead of the machine's.
    oxGuiModalFolderDialog(std::string& path, const std::string& prompt, const std::vector<oxFilename>& roots);
    // True when ended with OK on a folder that exists; a path that names
    // nothing is reported and the dialog goes on.
    bool run();
    oxGuiFolderSelector* selector() const { return m_selector; }
    oxGuiScrollablePanel* scrollPanel() const { return m_scroll; }
    oxGuiEdit* pathField() const { return m_field; }

    // Enter in the path field chooses the typed folder; Ctrl+L goes to the
    // field.
    bool onKeyDown(int key, bool special) override;

private:
    // The typed path as a folder ("~" is the home folder, a file stands for
    // its folder); empty when it names nothing.
    std::string typedFolder() const;
    void selectionChanged(bool chosen);

    std::string* m_path;
    oxGuiEdit* m_field = nullptr;
    oxGuiFolderSelector* m_selector = nullptr;
    oxGuiScrollablePanel* m_scroll = nullptr;
};

// True when ended with OK; path then holds the chosen folder.
bool runFolderDialog(std::string& path, const std::string& prompt);
