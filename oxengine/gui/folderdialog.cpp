#include "oxengine/gui/folderdialog.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>

namespace {

constexpr int FIELD_WIDTH_IN_CHARS = 40;
constexpr int KEY_CTRL_L = 12;

} // namespace

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
    m_field = column->addChild(std::make_unique<oxGuiEdit>(FIELD_WIDTH_IN_CHARS, path, TA_LEFT));
    // Half a line between the field and the tree.
    column->addChild(std::make_unique<oxGuiFlexi>(0, 0))->setSize({0, defaultGuiStyle.textHeight / 2});
    auto selector = std::make_unique<oxGuiFolderSelector>(roots);
    m_selector = selector.get();
    m_selector->expandTowards(path);
    m_selector->setSelectedPath(path);
    m_selector->setSelectionHandler([this](bool chosen) { selectionChanged(chosen); });
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
    // The tree has the keys first: the arrows walk it at once.
    setFocus(m_selector);
    requestRedisplay();
}

void oxGuiModalFolderDialog::selectionChanged(bool chosen)
{
    m_field->setText(m_selector->getSelectedPath());
    // The whole row in view: its top, then its bottom.
    const oxGuiPoint bottom = m_selector->selectedRowPosition();
    m_scroll->ensureVisible({bottom.x, bottom.y - m_selector->rowHeight()});
    m_scroll->ensureVisible(bottom);
    if (chosen)
        setResult(GUI_RESULT_OK);
}

std::string oxGuiModalFolderDialog::typedFolder() const
{
    std::string typed = trim(m_field->getText());
    if (typed == "~" || startsWith(typed, "~/"))
        typed = oxFilename::homeFolder().systemPath() + typed.substr(1);
    if (typed.empty())
        return {};
    oxFilename name(typed);
    if (!name.exists())
        return {};
    return name.isDirectory() ? name.systemPath() : name.parentFolder().systemPath();
}

bool oxGuiModalFolderDialog::onKeyDown(int key, bool special)
{
    if (!special && key == KEY_CTRL_L) {
        setFocus(m_field);
        m_field->selectAll();
        return true;
    }
    if (!special && key == GUI_KEY_ENTER && focusedElement() == m_field) {
        setResult(GUI_RESULT_OK);
        return true;
    }
    return oxGuiModalDialog::onKeyDown(key, special);
}

bool oxGuiModalFolderDialog::run()
{
    for (int sound = oxGuiIconSound(MI_QUESTION);; sound = -1) {
        if (runWithSound(sound) != GUI_RESULT_OK)
            return false;
        const std::string folder = typedFolder();
        if (!folder.empty()) {
            *m_path = folder;
            return true;
        }
        // Said, and the user corrects the path.
        const std::string text = formatString(oxGetTranslation(N_("The folder '%s' does not exist.")),
                                              trim(m_field->getText()).c_str());
        if (!oxMessageSeamAnswer(text, getTitle(), MB_OK, MI_ERROR))
            runMessageDialog(text, getTitle(), MB_OK, MI_ERROR);
        setFocus(m_field);
    }
}

bool runFolderDialog(std::string& path, const std::string& prompt)
{
    oxGuiModalFolderDialog dialog(path, prompt);
    return dialog.run();
}
