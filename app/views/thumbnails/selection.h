// The sheet's selection: list indexes in ascending order, changed by the
// clicks of the thumbnail view.
#pragma once

#include <cstddef>
#include <set>
#include <vector>

class SheetSelection {
public:
    const std::set<int>& indexes() const { return m_indexes; }
    // Ascending, only those below count (the list may have shrunk).
    std::vector<int> within(int count) const;
    bool empty() const { return m_indexes.empty(); }
    size_t size() const { return m_indexes.size(); }
    bool contains(int index) const { return m_indexes.count(index) > 0; }
    void clear() { m_indexes.clear(); }

    // CTRL-click on index (-1: no picture, which clears the selection).
    // Without SHIFT, or on an empty selection, the index is toggled. With
    // SHIFT every index from the anchor to the clicked one is added; the
    // anchor is the greatest selected index below the clicked one, else the
    // smallest selected one.
    void ctrlClick(int index, bool shift);
    // Right click on index (-1: no picture): an unselected picture becomes
    // the selection alone; a selected one keeps the selection as it is.
    void rightClick(int index);

private:
    std::set<int> m_indexes;
};
