#include "app/views/thumbnails/selection.h"

#include <algorithm>

std::vector<int> SheetSelection::within(int count) const
{
    std::vector<int> result;
    for (int i : m_indexes)
        if (i < count)
            result.push_back(i);
    return result;
}

void SheetSelection::ctrlClick(int index, bool shift)
{
    if (index < 0) {
        m_indexes.clear();
        return;
    }
    if (!shift || m_indexes.empty()) {
        if (!m_indexes.erase(index))
            m_indexes.insert(index);
        return;
    }
    auto below = m_indexes.lower_bound(index);
    const int anchor = below == m_indexes.begin() ? *m_indexes.begin() : *std::prev(below);
    for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i)
        m_indexes.insert(i);
}

void SheetSelection::rightClick(int index)
{
    if (index >= 0 && !contains(index))
        m_indexes = {index};
}
