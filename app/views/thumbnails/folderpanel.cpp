#include "app/views/thumbnails/folderpanel.h"

#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/scrollpanel.h"

#include <algorithm>

FolderPanel::FolderPanel(const std::vector<oxFilename>& roots, int selectCommand, ThnHSplitter::MovedHook moved)
{
    auto selector = std::make_unique<oxGuiFolderSelector>(roots);
    m_selector = selector.get();
    m_selector->setSelectCommand(selectCommand);
    m_scroll = addChild(std::make_unique<oxGuiScrollablePanel>(std::move(selector)));
    // The splitter sets the whole panel's width, so the tree and the bar
    // are laid out again as it moves.
    m_splitter = addChild(std::make_unique<ThnHSplitter>(this, std::move(moved)));
}

void FolderPanel::showFolder(const std::string& path)
{
    m_selector->setSelectedPath(path);
    m_selector->expandTowards(path);
    m_scroll->ensureVisible(m_selector->selectedRowPosition());
    // Before the panel has a size there is no viewport to scroll.
    m_revealPending = getSize().height <= 0;
}

void FolderPanel::applyStyle(const oxGuiStyle& style)
{
    oxGuiHSizer::applyStyle(style);
    m_revealPending = true;
}

void FolderPanel::place(int width, int height)
{
    setSize({std::max(width, 0), std::max(height, 0)});
    setPosition({0, 0});
    if (m_revealPending && height > 0) {
        m_revealPending = false;
        m_scroll->ensureVisible(m_selector->selectedRowPosition());
    }
}
