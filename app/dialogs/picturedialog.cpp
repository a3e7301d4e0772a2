#include "app/dialogs/picturedialog.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"

#include <algorithm>

namespace {

constexpr int FILE_NAME_WIDTH_IN_CHARS = 25;

} // namespace

PictureDialog::PictureDialog() : oxGuiModalDialog(std::make_unique<oxGuiVSizer>()) {}

void PictureDialog::addFolderTree(oxGuiContainer& column)
{
    auto selector = std::make_unique<oxGuiFolderSelector>();
    m_selector = selector.get();
    m_selector->setSelectionHandler([this](bool chosen) {
        // The whole row in view: its top, then its bottom.
        const oxGuiPoint bottom = m_selector->selectedRowPosition();
        m_scroll->ensureVisible({bottom.x, bottom.y - m_selector->rowHeight()});
        m_scroll->ensureVisible(bottom);
        if (chosen)
            setResult(GUI_RESULT_OK);
    });
    m_scroll = column.addChild(std::make_unique<oxGuiScrollablePanel>(std::move(selector)));
}

void PictureDialog::addFileNameRow(oxGuiContainer& column)
{
    auto* row = column.addChild(std::make_unique<oxGuiHSizer>());
    row->addChild(std::make_unique<oxGuiLabel>(std::string(oxGetTranslation(N_("File name:"))) + "  ", TA_LEFT));
    m_fileName = row->addChild(std::make_unique<oxGuiEdit>(FILE_NAME_WIDTH_IN_CHARS, "", TA_LEFT));
    m_fileName->setStretch({1, 0});
}

void PictureDialog::finishSize(int width)
{
    const oxGuiSize window = applicationWindowSize();
    if (window.width > 0 && window.height > 0)
        setSize({std::min(width, int(0.9 * window.width)), int(0.7 * window.height)});
    m_scroll->ensureVisible(m_selector->selectedRowPosition());
    centreInWindow();
    // The file name is what the user most often changes; else the tree.
    setFocus(m_fileName ? static_cast<oxGuiElement*>(m_fileName) : m_selector);
    requestRedisplay();
}

void PictureDialog::setFolder(const std::string& path)
{
    m_selector->expandTowards(path);
    m_selector->setSelectedPath(path);
    m_scroll->ensureVisible(m_selector->selectedRowPosition());
}

std::string PictureDialog::selectedFolder() const
{
    return m_selector->getSelectedPath();
}

bool PictureDialog::onKeyDown(int key, bool special)
{
    // The focused element (a button takes Enter itself) has had the key.
    if (!special && key == GUI_KEY_ENTER) {
        setResult(GUI_RESULT_OK);
        return true;
    }
    if (!special && key == GUI_KEY_ESCAPE) {
        setResult(GUI_RESULT_CANCEL);
        return true;
    }
    return oxGuiModalDialog::onKeyDown(key, special);
}
