#include "oxengine/gui/dialog.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/sound.h"

#include <algorithm>

namespace {

// How much of the scene behind a running dialog still shows: the dialog is
// what the user reads now.
constexpr float BACKDROP_DIMMING = 0.5f;

std::string defaultTitle()
{
    if (theApplication && !theApplication->title().empty())
        return theApplication->title();
    return oxGetTranslation(N_("Dialog"));
}

} // namespace

oxGuiModalDialog::oxGuiModalDialog() : oxGuiModalDialog(nullptr) {}

oxGuiModalDialog::oxGuiModalDialog(std::unique_ptr<oxGuiElement> content)
    : oxGuiModalPanel(std::move(content)), m_title(defaultTitle()), m_titleHeight(defaultGuiStyle.textHeight)
{
    // The title bar is the top of the frame; texts keep half a line from it.
    m_margins.top += m_titleHeight;
    setPadding(m_titleHeight / 2);
}

void oxGuiModalDialog::setTitle(const std::string& title)
{
    m_title = title.empty() ? defaultTitle() : title;
    requestRedisplay();
}

void oxGuiModalDialog::setTextHeight(int h)
{
    m_margins.top += h - m_titleHeight;
    m_titleHeight = h;
    setPadding(h / 2);
    oxGuiModalPanel::setTextHeight(h);
}

void oxGuiModalDialog::setFontName(const std::string& name)
{
    if (name != m_fontName)
        m_titleOutput.setFont(nullptr);
    oxGuiModalPanel::setFontName(name);
}

bool oxGuiModalDialog::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    if (!isActive())
        return false;
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    if (pointInRect(p.x, p.y, m_position, {m_size.width, m_titleHeight})) {
        dragged = this;
        axes = 3;
        return true;
    }
    return oxGuiModalPanel::beginDrag(x, y, dragged, axes);
}

void oxGuiModalDialog::dragBy(int dx, int dy)
{
    const oxGuiSize window = applicationWindowSize();
    int64_t x = int64_t(m_position.x) + dx, y = int64_t(m_position.y) + dy;
    if (window.width > 0 && window.height > 0) {
        x = std::clamp<int64_t>(x, 0, std::max(0, window.width - m_size.width));
        y = std::clamp<int64_t>(y, 0, std::max(0, window.height - m_size.height));
    }
    const oxGuiPoint to{int(x), int(y)};
    if (to == m_position)
        return;
    m_movedByUser = m_movedByUser || dx != 0 || dy != 0;
    setPosition(to);
    requestRedisplay();
}

void oxGuiModalDialog::onWindowResized()
{
    if (m_movedByUser)
        dragBy(0, 0);
    else
        centreInWindow();
    requestRedisplay();
}

void oxGuiModalDialog::draw()
{
    if (!isVisible())
        return;
    // The scene behind steps back (it is drawn anew each frame, so this
    // never accumulates).
    const oxGuiSize window = applicationWindowSize();
    if (window.width > 0 && window.height > 0) {
        prepare2D();
        setColour(oxColour(0, 0, 0, uint8_t(255 * BACKDROP_DIMMING)));
        fillRect({0, 0}, {double(window.width), double(window.height)});
    }
    oxGuiModalPanel::draw();
    if (!m_titleOutput.font())
        m_titleOutput.setFont(GLFontManager::getFont(m_fontName));
    const oxGuiPointD at = toWindowPoint(*this, m_position);
    const oxGuiSizeD bar = toWindowSize(*this, {m_size.width, m_titleHeight});
    // A long title is cut at the dialog's edge.
    oxGuiClipScope clip(at, bar);
    m_titleOutput.setText(m_title);
    m_titleOutput.setColour(m_fgColour);
    m_titleOutput.setBackgroundColour({0, 0, 0, 0});
    m_titleOutput.setPosition(at.x + toWindowSize(*this, {padding(), 0}).width, at.y + bar.height);
    m_titleOutput.setTextHeight(bar.height);
    m_titleOutput.setMinimumSize(0, 0);
    m_titleOutput.setAlignment(TA_LEFT);
    m_titleOutput.setKeepGLState(true);
    m_titleOutput.draw();
}

std::vector<oxGuiModalButton*> oxGuiModalDialog::addButtonRow(oxGuiContainer& column,
                                                              const std::vector<std::pair<int, std::string>>& buttons)
{
    auto* row = column.addChild(std::make_unique<oxGuiHSizer>());
    row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    std::vector<oxGuiModalButton*> made;
    for (const auto& [code, caption] : buttons)
        made.push_back(row->addChild(std::make_unique<oxGuiModalButton>(this, code, caption)));
    row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    return made;
}

void oxGuiModalDialog::finishLayout()
{
    applyStyle(defaultGuiStyle);
    centreInWindow();
    requestRedisplay();
}

int oxGuiModalDialog::runWithSound(int sound)
{
    if (sound >= 0)
        beep(sound);
    return runModal();
}
