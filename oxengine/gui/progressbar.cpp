#include "oxengine/gui/progressbar.h"

#include "oxengine/core/strings.h"

#include <algorithm>
#include <cmath>

oxGuiProgressBar::oxGuiProgressBar() = default;

std::string oxGuiProgressBar::valueText() const
{
    // Rounded to whole numbers: 2.6 of 10 shows as 3/10.
    auto whole = [](double v) { return (long long)(std::floor(v + 0.5)); };
    return formatString("%lld/%lld", whole(m_value), whole(m_maximum));
}

void oxGuiProgressBar::setProgress(double done, double total)
{
    if (std::isnan(done) || std::isnan(total))
        return;
    m_minimum = std::min(0.0, total);
    m_maximum = std::max(0.0, total);
    m_value = std::clamp(done, m_minimum, m_maximum);
}
