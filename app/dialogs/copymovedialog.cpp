#include "app/dialogs/copymovedialog.h"

#include "app/loader/loaderroles.h"
#include "app/shell/commands.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/storage/files.h"

#include <algorithm>

CopyMoveDialog::CopyMoveDialog(int count, bool copy)
{
    setTitle(oxGetTranslation(copy ? N_("Copy Image") : N_("Move Image")));
    auto* column = static_cast<oxGuiVSizer*>(content());
    const std::string text =
        count == 1 ? oxGetTranslation(copy ? N_("Copy image to this folder:") : N_("Move image to this folder:"))
                   : formatString(oxGetTranslation(copy ? N_("Copy %d images to this folder:")
                                                        : N_("Move %d images to this folder:")),
                                  count);
    m_label = column->addChild(std::make_unique<oxGuiLabel>(text, TA_LEFT));
    addFolderTree(*column);
    if (count == 1)
        addFileNameRow(*column);
    column->addChild(std::make_unique<oxGuiHLine>());
    addButtonRow(*column, {{GUI_RESULT_OK, oxGetTranslation(N_("OK"))}, {GUI_RESULT_CANCEL, oxGetTranslation(N_("Cancel"))}});
    applyStyle(defaultGuiStyle);
    // The natural width, at least half the window and at most 90 % of it.
    const oxGuiSize window = applicationWindowSize();
    int width = std::max(getSize().width, scrollPanel()->contentExtent().width + getMargins().left + getMargins().right);
    width = std::max(width, int(0.5 * window.width));
    finishSize(width);
}

bool CopyMoveTask::run()
{
    if (entries.empty())
        return false;
    CopyMoveDialog dialog(int(entries.size()), copy);
    dialog.setFolder(folder.empty() ? oxFilename(entries.front()).parentFolder().systemPath() : folder);
    if (auto* edit = dialog.fileNameEdit()) {
        edit->setText(oxFilename(entries.front()).name());
        edit->selectAll();
    }
    if (dialog.runWithSound(-1) != GUI_RESULT_OK)
        return false;
    folder = dialog.selectedFolder();
    queue(folder, dialog.fileNameEdit() ? dialog.fileNameEdit()->getText() : std::string());
    return true;
}

void CopyMoveTask::queue(const std::string& targetFolder, const std::string& fileName)
{
    if (!operations || targetFolder.empty())
        return;
    const unsigned refresh = !copy || (isListed && isListed(targetFolder)) ? unsigned(CMD_RESCAN) : 0u;
    const oxFilename into(targetFolder + "/");
    PictureOperationBatch batch(*operations);
    ReplaceDecisions decisions(askReplace, entries.size() > 1);
    for (const std::string& entry : entries) {
        const std::string name = entries.size() == 1 ? fileName : oxFilename(entry).name();
        const std::string target = oxFilename::join(into, name).systemPath();
        // Onto itself: the loader refuses it with a clear reason.
        const std::string placed = placedTarget(entry, target);
        std::optional<bool> replace = sameFile(entry, placed) ? false : decisions.decide(placed);
        if (replace)
            operations->copyMovePicture(entry, target, copy, refresh, *replace);
    }
}
