#include "oxengine/gui/sizers.h"

#include "oxengine/gui/draw.h"

#include <algorithm>

std::vector<int> oxGuiDistribute(const std::vector<int>& extents, const std::vector<int>& stretch, int extent)
{
    const size_t n = extents.size();
    std::vector<int> out(n, 0);
    if (n == 0)
        return out;
    extent = std::max(extent, 0);
    int64_t fixed = 0, total = 0;
    for (size_t i = 0; i < n; ++i) {
        if (stretch[i] > 0)
            total += stretch[i];
        else
            fixed += std::max(extents[i], 0);
    }
    if (extent >= fixed && total > 0) {
        for (size_t i = 0; i < n; ++i)
            out[i] = stretch[i] > 0 ? int((extent - fixed) * stretch[i] / total) : extents[i];
        return out;
    }
    // Squeezed, or nothing stretches: scale the fixed children to fill the
    // extent. Children of no extent at all get 0 and the last one the whole
    // extent (a ratio would divide by zero).
    const double ratio = fixed > 0 ? double(extent) / double(fixed) : 0.0;
    int64_t used = 0;
    for (size_t i = 0; i < n; ++i) {
        if (stretch[i] > 0)
            continue;
        if (i + 1 == n)
            out[i] = int(std::max<int64_t>(extent - used, 0));
        else
            out[i] = int(std::max(extents[i], 0) * ratio);
        used += out[i];
    }
    return out;
}

void oxGuiSizer::setSize(oxGuiSize s)
{
    oxGuiElement::setSize(s);
    if (m_children.empty())
        return;
    std::vector<int> extents, stretch;
    extents.reserve(m_children.size());
    stretch.reserve(m_children.size());
    for (const auto& c : m_children) {
        extents.push_back(m_horizontal ? c->getSize().width : c->getSize().height);
        stretch.push_back(m_horizontal ? c->getStretch().width : c->getStretch().height);
    }
    const std::vector<int> main = oxGuiDistribute(extents, stretch, m_horizontal ? s.width : s.height);
    for (size_t i = 0; i < m_children.size(); ++i) {
        oxGuiElement& c = *m_children[i];
        if (m_horizontal) {
            // Never taller than the row; as tall as it when stretching upright.
            const int h = std::max(0, c.getStretch().height > 0 ? s.height : std::min(c.getSize().height, s.height));
            c.setSize({main[i], h});
        } else {
            c.setSize({std::max(0, s.width), main[i]});
        }
    }
}

void oxGuiSizer::setPosition(oxGuiPoint p)
{
    oxGuiElement::setPosition(p);
    int64_t along = m_horizontal ? p.x : p.y;
    for (size_t i = 0; i < m_children.size(); ++i) {
        oxGuiElement& c = *m_children[i];
        const oxGuiSize cs = c.getSize();
        const int32_t at = int32_t(std::clamp<int64_t>(along, INT32_MIN, INT32_MAX));
        if (m_horizontal) {
            c.setPosition({at, p.y + std::max(0, (m_size.height - cs.height) / 2)});
            along += cs.width;
        } else {
            c.setPosition({p.x, at});
            along += cs.height;
        }
    }
}

void oxGuiSizer::setTextHeight(int h)
{
    oxGuiContainer::setTextHeight(h);
    int64_t sum = 0;
    int greatest = 0;
    for (const auto& c : m_children) {
        const oxGuiSize cs = c->getSize();
        sum += m_horizontal ? cs.width : cs.height;
        greatest = std::max(greatest, m_horizontal ? cs.height : cs.width);
    }
    const int32_t s = int32_t(std::min<int64_t>(sum, INT32_MAX));
    m_size = m_horizontal ? oxGuiSize{s, greatest} : oxGuiSize{greatest, s};
}

oxGuiFlexi::oxGuiFlexi(int sx, int sy)
{
    m_size = {0, 0};
    m_stretch = {sx, sy};
}

void oxGuiFlexi::setTextHeight(int)
{
    m_size = {0, 0};
}

void oxGuiFlexi::draw()
{
    if (!isVisible())
        return;
    prepare2D();
    setColour(m_bgColour);
    fillRect(toWindowPoint(*this, m_position), toWindowSize(*this, m_size));
}
