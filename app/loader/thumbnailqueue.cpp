#include "app/loader/thumbnailqueue.h"

#include <algorithm>

void ThumbnailQueue::setList(const std::vector<std::string>& names,
                             const std::function<bool(const std::string&)>& missing)
{
    const int before = int(m_pending.size());
    m_names = names;
    m_index.clear();
    m_index.reserve(names.size());
    m_pending.clear();
    for (size_t i = 0; i < names.size(); ++i) {
        m_index.emplace(names[i], int(i));
        if (missing(names[i]))
            m_pending.insert(m_pending.end(), int(i));
    }
    // Those still pending count once; those no longer listed no longer count.
    m_queued = std::max(0, m_queued + int(m_pending.size()) - before);
    setVisible(m_askedFirst, m_askedLast);
}

void ThumbnailQueue::setVisible(int first, int last)
{
    m_askedFirst = first;
    m_askedLast = last;
    const int size = int(m_names.size());
    m_first = std::clamp(first, 0, std::max(size - 1, 0));
    m_last = std::min(last, size - 1);
}

int ThumbnailQueue::distance(int index) const
{
    if (m_first > m_last)
        return index;
    if (index < m_first)
        return m_first - index;
    return index > m_last ? index - m_last : 0;
}

int ThumbnailQueue::peekNext() const
{
    if (m_pending.empty())
        return -1;
    if (m_first > m_last)
        return *m_pending.begin();
    const auto below = m_pending.lower_bound(m_first);
    if (below != m_pending.end() && *below <= m_last)
        return *below; // on screen
    const auto after = m_pending.upper_bound(m_last);
    if (below == m_pending.begin())
        return *after;
    const int above = *std::prev(below);
    if (after == m_pending.end())
        return above;
    return distance(*after) <= distance(above) ? *after : above;
}

std::optional<std::string> ThumbnailQueue::takeNext()
{
    const int next = peekNext();
    if (next < 0)
        return std::nullopt;
    m_pending.erase(next);
    return m_names[size_t(next)];
}

bool ThumbnailQueue::putBack(const std::string& name)
{
    const int index = indexOf(name);
    return index >= 0 && m_pending.insert(index).second;
}

void ThumbnailQueue::clear()
{
    m_queued = std::max(0, m_queued - int(m_pending.size()));
    m_pending.clear();
}

bool ThumbnailQueue::isPending(const std::string& name) const
{
    const int index = indexOf(name);
    return index >= 0 && m_pending.count(index) > 0;
}

int ThumbnailQueue::indexOf(const std::string& name) const
{
    const auto it = m_index.find(name);
    return it == m_index.end() ? -1 : it->second;
}

bool ThumbnailQueue::resetCounters()
{
    if (m_queued == 0 && m_done == 0)
        return false;
    m_queued = m_done = 0;
    return true;
}

std::vector<std::string> ThumbnailQueue::pendingInOrder() const
{
    ThumbnailQueue copy = *this;
    std::vector<std::string> order;
    while (std::optional<std::string> name = copy.takeNext())
        order.push_back(std::move(*name));
    return order;
}
