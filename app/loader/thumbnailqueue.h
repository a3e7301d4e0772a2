// The thumbnails of the picture list still to make, in the order the sheet
// wants them: the cells on screen first (top to bottom), then the nearest
// outside them, below before above at the same distance, then the rest.
// Without a known screen, list order. Choosing costs O(log n), so a list of
// tens of thousands of pictures stays cheap whenever the user scrolls.
//
// No lock of its own: the loader guards it with its threadLock.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class ThumbnailQueue {
public:
    // The list the thumbnail set follows. Pending afterwards: the listed
    // names that missing accepts. Names no longer listed stop being pending
    // and no longer count.
    void setList(const std::vector<std::string>& names, const std::function<bool(const std::string&)>& missing);
    // The list indexes on screen, inclusive; first > last: unknown.
    void setVisible(int first, int last);
    int visibleFirst() const { return m_first; }
    int visibleLast() const { return m_last; }

    // The next thumbnail to make, no longer pending.
    std::optional<std::string> takeNext();
    // The index takeNext would choose, -1 when nothing is pending.
    int peekNext() const;
    void clear();

    size_t pending() const { return m_pending.size(); }
    bool isPending(const std::string& name) const;
    // The list index of the name, -1 when not listed.
    int indexOf(const std::string& name) const;
    const std::string& nameAt(int index) const { return m_names[size_t(index)]; }
    int listSize() const { return int(m_names.size()); }
    // How far the index lies outside the screen, in list entries (0 on
    // screen; the index itself when the screen is unknown).
    int distance(int index) const;
    // Whether the name is listed and its cell on a known screen.
    bool onScreen(const std::string& name) const
    {
        const int index = indexOf(name);
        return m_first <= m_last && index >= m_first && index <= m_last;
    }

    // How many pending ones lie nearer the screen than distance, counted up
    // to limit.
    size_t pendingNearerThan(int64_t distance, size_t limit) const;

    // Thumbnails made since the loader last found nothing left worth making.
    int doneCount() const { return m_done; }
    void markDone() { ++m_done; }
    // Pending again (a thumbnail dropped to save memory, or a decode
    // stopped); false when not listed or pending already.
    bool putBack(const std::string& name);
    // Starts the count again from 0 (the loader found nothing left worth
    // making); true when there was work since the last reset (the progress
    // display goes away).
    bool resetCounters();

    // The pending names in the order they would be made (tests).
    std::vector<std::string> pendingInOrder() const;

private:
    std::vector<std::string> m_names;
    std::unordered_map<std::string, int> m_index;
    std::set<int> m_pending;
    int m_first = 0, m_last = -1;           // within the list
    int m_askedFirst = 0, m_askedLast = -1; // as asked, kept for the next list
    int m_done = 0;
    bool m_worked = false; // something was pending since the last reset
};
