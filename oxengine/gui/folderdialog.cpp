#include "oxengine/gui/folderdialog.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>

oxGuiModalFolderDialog::oxGuiModalFolderDialog(std::string& path, const std::string& prompt)
    : oxGuiModalFolderDialog(path, prompt, oxFilename::listDrives())
{
}

oxGuiModalFolderDialog::oxGuiModalFolderDialog(std::string& path, const std::string& prompt,
                                               const std::vector<oxFilename>& roots)
    : oxGuiModalDialog(std::make_unique<oxGuiVSizer>()), m_path(&path)
{
    setTitle(oxGetTranslation(N_("Select Folder")));
    auto* column = static_cast<oxGuiVSizer*>(content());
    column->addChild(std::make_unique<oxGuiLabel>(prompt, TA_LEFT));
    auto selector = std::make_unique<oxGuiFolderSelector>(roots);
    m_selector = selector.get();
    m_selector->expandTowards(path);
    m_selector->setSelectedPath(path);
    m_scroll = column->addChild(std::make_unique<oxGuiScrollablePanel>(std::move(selector)));
    column->addChild(std::make_unique<oxGuiHLine>());
    addButtonRow(*column, {{GUI_RESULT_OK, oxGetTranslation(N_("OK"))}, {GUI_RESULT_CANCEL, oxGetTranslation(N_("Cancel"))}});
    applyStyle(defaultGuiStyle);
    // Wide enough for the tree where the window allows, 70 % of it high.
    const oxGuiSize window = applicationWindowSize();
    if (window.width > 0 && window.height > 0) {
        const oxGuiMargins m = getMargins();
        const int width = std::min(m_scroll->contentExtent().width + m.left + m.right, int(0.9 * window.width));
        setSize({std::max(width, getSize().width), int(0.7 * window.height)});
    }
    m_scroll->ensureVisible(m_selector->selectedRowPosition());
    centreInWindow();
    requestRedisplay();
}

bool oxGuiModalFolderDialog::run()
{
    if (runWithSound(oxGuiIconSound(MI_QUESTION)) != GUI_RESULT_OK)
        return false;
    const std::string chosen = m_selector->getSelectedPath();
    if (!chosen.empty())
        *m_path = chosen;
    return true;
}

bool runFolderDialog(std::string& path, const std::string& prompt)
{
    oxGuiModalFolderDialog dialog(path, prompt);
    return dialog.run();
}
