#include "app/loader/thumbnailqueue.h"

#include <algorithm>

void ThumbnailQueue::setList(const std::vector<std::string>& names,
                             const std::function<bool(const std::string&)>& missing)
{
    m_names = names;
    m_index.clear();
    m_index.reserve(names.size());
    m_pending.clear();
    for (size_t i = 0; i < names.size(); ++i) {
        m_index.emplace(names[i], int(i));
        if (missing(names[i]))
            m_pending.insert(m_pending.end(), int(i));
    }
    m_worked = m_worked || !m_pending.empty();
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
    if (index < 0 || !m_pending.insert(index).second)
        return false;
    m_worked = true;
    return true;
}

size_t ThumbnailQueue::pendingNearerThan(int64_t distance, size_t limit) const
{
    if (distance <= 0)
        return 0;
    distance = std::min<int64_t>(distance, int64_t(m_names.size()) + 1);
    // Those nearer lie within [first - distance, last + distance] (below
    // distance itself without a screen).
    const bool screen = m_first <= m_last;
    const int64_t low = screen ? int64_t(m_first) - distance + 1 : 0;
    const int64_t high = screen ? int64_t(m_last) + distance - 1 : distance - 1;
    size_t n = 0;
    for (auto it = m_pending.lower_bound(int(std::max<int64_t>(low, 0))); it != m_pending.end() && *it <= high && n < limit;
         ++it)
        ++n;
    return n;
}

void ThumbnailQueue::clear()
{
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
    if (!m_worked && m_done == 0)
        return false;
    m_worked = false;
    m_done = 0;
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
