#include "app/shell/sheetfill.h"

#include <algorithm>

SheetFill::SheetFill(oxSoftFrame frame, std::vector<std::string> pictures, std::vector<int> missing)
    : m_frame(std::move(frame)), m_pictures(std::move(pictures)), m_missing(std::move(missing))
{
}

ThumbnailHeadStart::Made SheetFill::receiver() const
{
    return [inbox = m_inbox](size_t index, ThumbnailImage thumbnail) {
        std::lock_guard<std::mutex> lock(inbox->mutex);
        ++inbox->came;
        if (thumbnail.image)
            inbox->thumbnails.emplace_back(index, std::move(thumbnail));
        // Under the lock: once the fill is gone, whoever woke is not called.
        if (inbox->wake)
            inbox->wake();
    };
}

SheetFill::~SheetFill()
{
    setWake({});
}

void SheetFill::setWake(std::function<void()> wake)
{
    std::lock_guard<std::mutex> lock(m_inbox->mutex);
    m_inbox->wake = std::move(wake);
}

bool SheetFill::present(ThumbnailDisplay& sheet, oxFirstFrameWindow& window, unsigned long cover)
{
    std::vector<std::pair<size_t, ThumbnailImage>> thumbnails;
    {
        std::lock_guard<std::mutex> lock(m_inbox->mutex);
        thumbnails.swap(m_inbox->thumbnails);
        m_came = m_inbox->came;
    }
    std::vector<oxFirstFrameWindow::Area> areas;
    for (auto& [k, thumbnail] : thumbnails) {
        if (k >= m_missing.size())
            continue;
        const oxSize full = thumbnail.image->sourceSize();
        const ThumbnailDisplay::FirstFrameThumbnail cell{std::move(thumbnail.image),
                                                         thumbnail.sizeKnown ? std::max(full.width, full.height) : 0};
        const oxGuiRect r = sheet.drawFirstFrameCell(m_frame, m_pictures, m_missing[k], cell);
        if (r.empty())
            continue; // left empty: the GL frame shows it
        areas.push_back({r.position.x, r.position.y, r.size.width, r.size.height});
        ++m_drawn;
    }
    return window.update(m_frame.pixels(), areas, cover);
}

bool SheetFill::over() const
{
    return m_came >= m_missing.size() || m_acted || std::chrono::steady_clock::now() - m_start >= TIME_LIMIT;
}

std::chrono::milliseconds SheetFill::timeLeft() const
{
    const auto left = TIME_LIMIT - (std::chrono::steady_clock::now() - m_start);
    return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(left));
}
