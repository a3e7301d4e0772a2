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

double CrossFade::opacity() const
{
    return std::clamp(1.0 - m_fade, 0.0, 1.0);
}
