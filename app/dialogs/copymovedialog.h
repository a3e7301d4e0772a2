// Copying or moving the selected pictures to another folder: the dialog
// that picks the folder (and for one picture the new name), and the task
// that asks about existing targets and queues the work to the loader.
#pragma once

#include "app/dialogs/picturedialog.h"
#include "app/dialogs/replacequestion.h"

#include <functional>
#include <string>
#include <vector>

class oxGuiLabel;
class PictureOperations;

class CopyMoveDialog : public PictureDialog {
public:
    CopyMoveDialog(int count, bool copy);
    oxGuiLabel* label() const { return m_label; }

private:
    oxGuiLabel* m_label = nullptr;
};

struct CopyMoveTask {
    bool copy = true;
    std::vector<std::string> entries; // in list order
    std::string folder;               // the target folder shown first; "" = the first entry's
    PictureOperations* operations = nullptr;
    // The folder's pictures are listed now (a copy there needs a rescan).
    std::function<bool(const std::string& folder)> isListed;
    AskReplace askReplace = askReplaceOnScreen;

    // Shows the dialog and queues the work; false when cancelled.
    bool run();
    // What OK queues: into folder, for one picture under fileName.
    void queue(const std::string& targetFolder, const std::string& fileName);
};
