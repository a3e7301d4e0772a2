#include "app/views/crossfade.h"

#include <algorithm>

void CrossFade::start(LoadedPicture* previous, double scale, double offsetX, double offsetY, int64_t length)
{
    m_previous = previous;
    m_fade = 1.0;
    m_scale = scale;
    m_offsetX = offsetX, m_offsetY = offsetY;
    m_length = std::clamp<int64_t>(length, 1, 10000000);
}

bool CrossFade::advance(int64_t elapsed)
{
    if (!m_previous)
        return false;
    m_fade -= double(std::max<int64_t>(elapsed, 1)) / double(m_length);
    if (m_fade > 0.0)
        return false;
    m_fade = 0.0;
    return true;
}

LoadedPicture* CrossFade::take()
{
    LoadedPicture* p = m_previous;
    m_previous = nullptr;
    m_fade = 0.0;
    m_scale = 1.0;
    return p;
}

std::vector<WindowRect> uncoveredParts(const WindowRect& outer, const WindowRect* inner)
{
    if (outer.empty())
        return {};
    if (!inner || inner->empty() || inner->x0 >= outer.x1 || inner->x1 <= outer.x0 || inner->y0 >= outer.y1 ||
        inner->y1 <= outer.y0)
        return {outer};
    // Above and below across the whole width, left and right between them.
    const double top = std::max(outer.y0, inner->y0), bottom = std::min(outer.y1, inner->y1);
    const WindowRect bands[] = {{outer.x0, outer.y0, outer.x1, top},
                                {outer.x0, bottom, outer.x1, outer.y1},
                                {outer.x0, top, std::max(outer.x0, inner->x0), bottom},
                                {std::min(outer.x1, inner->x1), top, outer.x1, bottom}};
    std::vector<WindowRect> parts;
    for (const WindowRect& band : bands)
        if (!band.empty())
            parts.push_back(band);
    return parts;
}

double CrossFade::opacity() const
{
    return std::clamp(1.0 - m_fade, 0.0, 1.0);
}
