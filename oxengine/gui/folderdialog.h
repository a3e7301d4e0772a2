// The folder dialog: a prompt above a scrolled folder tree, opened down to
// the given folder with that folder selected.
#pragma once

#include "oxengine/gui/dialog.h"
#include "oxengine/storage/files.h"

#include <string>
#include <vector>

class oxGuiFolderSelector;
class oxGuiScrollablePanel;

class oxGuiModalFolderDialog : public oxGuiModalDialog {
public:
    // path is the caller's, read now and written when the dialog ends with
    // OK and a folder is selected; it must outlive the dialog.
    oxGuiModalFolderDialog(std::string& path, const std::string& prompt);
    // With these roots instead of the machine's.
    oxGuiModalFolderDialog(std::string& path, const std::string& prompt, const std::vector<oxFilename>& roots);
    // True when ended with OK.
    bool run();
    oxGuiFolderSelector* selector() const { return m_selector; }
    oxGuiScrollablePanel* scrollPanel() const { return m_scroll; }

private:
    std::string* m_path;
    oxGuiFolderSelector* m_selector = nullptr;
    oxGuiScrollablePanel* m_scroll = nullptr;
};

// True when ended with OK; path then holds the selected folder (unchanged
// when none is selected).
bool runFolderDialog(std::string& path, const std::string& prompt);
