#include "app/views/thumbnails/folderpanel.h"

#include "oxengine/graphics/softframe.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/scrollpanel.h"

#include <algorithm>
#include <cmath>

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

bool FolderPanel::drawInto(oxSoftFrame& frame)
{
    if (!isVisible())
        return true;
    auto fill = [&frame](const oxGuiElement& e, oxColour colour) {
        const oxGuiPointD p = toWindowPoint(e, e.getPosition());
        const oxGuiSizeD s = toWindowSize(e, e.getSize());
        frame.fillRect(p.x, p.y, p.x + s.width, p.y + s.height, colour);
    };
    bool drawn = true;
    if (m_scroll->isVisible()) {
        // Clipped to whole pixels as the scroll panel clips its content.
        const oxGuiPointD p = toWindowPoint(*m_scroll, m_scroll->getPosition());
        const oxGuiSizeD s = toWindowSize(*m_scroll, m_scroll->getSize());
        frame.setClip(int(std::floor(p.x)), int(std::floor(p.y)), int(std::ceil(p.x + s.width)),
                      int(std::ceil(p.y + s.height)));
        fill(*m_scroll, m_scroll->getBgColour());
        m_selector->layOutRows(frame.height(), [&](oxTextOutput& text) { drawn = frame.drawText(text) && drawn; });
        frame.clearClip();
    }
    if (m_splitter->isVisible())
        fill(*m_splitter, m_splitter->barColour());
    return drawn;
}
