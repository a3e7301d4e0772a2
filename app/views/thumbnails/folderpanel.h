// The thumbnail sheet's folder panel: a folder tree in a scrolled area and,
// at its right edge, the splitter that sets the panel's width.
#pragma once

#include "oxengine/gui/sizers.h"
#include "oxengine/gui/splitter.h"

#include <functional>
#include <vector>

class oxFilename;
class oxSoftFrame;
class oxGuiFolderSelector;
class oxGuiScrollablePanel;

// Reports the end of a drag: the panel's width when it began and now.
class ThnHSplitter : public oxGuiHSplitter {
public:
    using MovedHook = std::function<void(int began, int now)>;
    ThnHSplitter(oxGuiElement* target, MovedHook moved) : oxGuiHSplitter(target), m_moved(std::move(moved)) {}
    void onSplitMoved(int oldWidth, int newWidth) override
    {
        if (m_moved)
            m_moved(oldWidth, newWidth);
    }

private:
    MovedHook m_moved;
};

class FolderPanel : public oxGuiHSizer {
public:
    // The tree over roots; a folder chosen in it posts selectCommand.
    FolderPanel(const std::vector<oxFilename>& roots, int selectCommand, ThnHSplitter::MovedHook moved);

    oxGuiFolderSelector& selector() const { return *m_selector; }
    oxGuiScrollablePanel& scrollPanel() const { return *m_scroll; }
    ThnHSplitter& splitter() const { return *m_splitter; }

    // Selects the folder, opens the tree down to it and scrolls it into view.
    void showFolder(const std::string& path);
    // Width x height at the window's top-left corner.
    void place(int width, int height);
    // Rows of another height put other folders at the scroll position: the
    // shown folder is scrolled into view again at the next place.
    void applyStyle(const oxGuiStyle& style) override;
    // The panel as draw shows it with the pointer elsewhere, into a frame
    // drawn without GL; false when one of its texts cannot be drawn there.
    bool drawInto(oxSoftFrame& frame);

private:
    oxGuiFolderSelector* m_selector;
    oxGuiScrollablePanel* m_scroll;
    ThnHSplitter* m_splitter;
    bool m_revealPending = false; // the shown folder is still to be scrolled into view
};
