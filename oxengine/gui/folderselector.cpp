#include "oxengine/gui/folderselector.h"

#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>

namespace {

// Two clicks on one name within this time are a double click.
constexpr std::chrono::milliseconds DOUBLE_CLICK{500};
constexpr int PAGE_ROWS = 10;

class FolderFilter : public oxFilenameFilter {
public:
    bool accept(const oxFilename&, const std::string& entryName) const override
    {
        return !entryName.empty() && entryName.back() == '/';
    }
};

// Stops the listing after the first folder: a folder of many files need
// not be read to the end to know it has a sub-folder.
class FirstFolderFilter : public oxFilenameFilter {
public:
    bool accept(const oxFilename&, const std::string& entryName) const override
    {
        if (found || entryName.empty() || entryName.back() != '/')
            return false;
        found = true;
        return true;
    }
    mutable bool found = false;
};

// Readdir order is the file system's; people look for names in order.
bool nameBefore(const oxFilename& a, const oxFilename& b)
{
    const std::string la = toLower(a.name()), lb = toLower(b.name());
    return la != lb ? la < lb : a.name() < b.name();
}

} // namespace

std::vector<oxFilename> oxListSubFolders(const oxFilename& folder)
{
    // A path that is no folder (any more) would list its parent instead.
    oxFilename asked(folder.systemPath());
    if (!asked.exists() || !asked.isDirectory())
        return {};
    const FolderFilter filter;
    std::vector<oxFilename> folders = asked.listDirectory(&filter);
    std::sort(folders.begin(), folders.end(), nameBefore);
    return folders;
}

bool oxHasSubFolder(const oxFilename& folder)
{
    oxFilename asked(folder.systemPath());
    if (!asked.exists() || !asked.isDirectory())
        return false;
    const FirstFolderFilter filter;
    return !asked.listDirectory(&filter).empty();
}

oxGuiFolderSelector::oxGuiFolderSelector() : oxGuiFolderSelector(oxFilename::listDrives()) {}

oxGuiFolderSelector::oxGuiFolderSelector(const std::vector<oxFilename>& roots) : m_rowHeight(defaultGuiStyle.textHeight)
{
    for (const oxFilename& root : roots)
        addEntry(root);
}

void oxGuiFolderSelector::addEntry(const oxFilename& path)
{
    m_entries.push_back({oxFolderEntry::COLLAPSED, 0, path});
    recomputeSize();
    requestRedisplay();
}

size_t oxGuiFolderSelector::subtreeEnd(size_t i) const
{
    size_t end = i + 1;
    while (end < m_entries.size() && m_entries[end].depth > m_entries[i].depth)
        ++end;
    return end;
}

void oxGuiFolderSelector::removeRows(size_t from, size_t to)
{
    m_entries.erase(m_entries.begin() + std::ptrdiff_t(from), m_entries.begin() + std::ptrdiff_t(to));
}

void oxGuiFolderSelector::toggle(int index)
{
    if (index < 0 || size_t(index) >= m_entries.size())
        return;
    const size_t i = size_t(index);
    oxFolderEntry& e = m_entries[i];
    if (e.state == oxFolderEntry::EXPANDED) {
        // Only this row's own subtree: the roots below "/" (home, mounts)
        // are rows of their own and stay.
        removeRows(i + 1, subtreeEnd(i));
        e.state = oxFolderEntry::COLLAPSED;
    } else if (e.state == oxFolderEntry::COLLAPSED) {
        if (!oxFilename(e.path.systemPath()).exists()) {
            // Gone since it was listed: nothing to open.
            removeRows(i, subtreeEnd(i));
        } else {
            const std::vector<oxFilename> folders = oxListSubFolders(e.path);
            const int depth = e.depth + 1;
            e.state = folders.empty() ? oxFolderEntry::LEAF : oxFolderEntry::EXPANDED;
            std::vector<oxFolderEntry> rows;
            rows.reserve(folders.size());
            for (const oxFilename& f : folders)
                rows.push_back({oxHasSubFolder(f) ? oxFolderEntry::COLLAPSED : oxFolderEntry::LEAF, depth, f});
            m_entries.insert(m_entries.begin() + std::ptrdiff_t(i + 1), rows.begin(), rows.end());
        }
    } else {
        return;
    }
    recomputeSize();
    requestRedisplay();
}

void oxGuiFolderSelector::expandTowards(const std::string& path)
{
    if (path.empty())
        return;
    const oxFilename target(path);
    // The root holding the longest part of the path: "/home/me/Pictures"
    // opens under the home root, not under "/".
    size_t root = m_entries.size();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const oxFolderEntry& e = m_entries[i];
        if (e.depth != 0 || !(e.path == target || e.path.isAncestorOf(target)))
            continue;
        if (root == m_entries.size() || e.path.components().size() > m_entries[root].path.components().size())
            root = i;
    }
    if (root == m_entries.size())
        return;
    // Rows opened on the way are visited too, so the tree opens level by level.
    const oxFilename rootPath = m_entries[root].path;
    for (size_t i = root; i < m_entries.size() && (i == root || m_entries[i].depth > 0);) {
        const oxFolderEntry& e = m_entries[i];
        const bool open = e.state == oxFolderEntry::COLLAPSED && e.path.isAncestorOf(target);
        const size_t rows = m_entries.size();
        if (open)
            toggle(int(i));
        // A folder that had gone took its row with it: the next one is at i.
        if (!open || m_entries.size() >= rows)
            ++i;
        if (i == root + 1 && (m_entries.empty() || !(m_entries[root].path == rootPath)))
            return;
    }
}

void oxGuiFolderSelector::setSelectedPath(const std::string& path)
{
    m_selected = path.empty() ? oxFilename() : oxFilename(path);
    requestRedisplay();
}

std::string oxGuiFolderSelector::getSelectedPath() const
{
    return m_selected.components().empty() ? std::string() : m_selected.systemPath();
}

oxGuiPoint oxGuiFolderSelector::selectedRowPosition() const
{
    if (m_selected.components().empty())
        return {0, 0};
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].path == m_selected)
            return {oxGuiToPixel(m_position.x + double(m_entries[i].depth) * m_rowHeight),
                    oxGuiToPixel(m_position.y + (double(i) + 1) * m_rowHeight)};
    return {0, 0};
}

void oxGuiFolderSelector::recomputeSize()
{
    // Wide enough for the longest name shown, so no name is cut where the
    // window has the room.
    double width = 20.0 * m_rowHeight;
    if (GLFont* f = font()) {
        m_textOutput.setFont(f);
        m_textOutput.setMultiLine(false);
        m_textOutput.setTextHeight(m_rowHeight);
        for (const oxFolderEntry& e : m_entries) {
            m_textOutput.setText(caption(e));
            width = std::max(width, (e.depth + 2.0) * m_rowHeight + m_textOutput.measure().width);
        }
    }
    m_size = {oxGuiToPixel(width), oxGuiToPixel(double(m_rowHeight) * double(m_entries.size()))};
}

void oxGuiFolderSelector::setFontName(const std::string& name)
{
    if (name != m_fontName)
        m_textOutput.setFont(nullptr);
    oxGuiElement::setFontName(name);
}

GLFont* oxGuiFolderSelector::font()
{
    if (!m_textOutput.font())
        m_textOutput.setFont(GLFontManager::getFont(m_fontName));
    return m_textOutput.font();
}

void oxGuiFolderSelector::setTextHeight(int h)
{
    font();
    m_rowHeight = std::max(1, h);
    recomputeSize();
}

int oxGuiFolderSelector::rowAt(int x, int y) const
{
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    const int rx = p.x - m_position.x, ry = p.y - m_position.y;
    if (rx < 0 || ry < 0 || rx >= m_size.width)
        return -1;
    const int row = ry / m_rowHeight;
    return row < int(m_entries.size()) ? row : -1;
}

int oxGuiFolderSelector::selectedRow() const
{
    if (m_selected.components().empty())
        return -1;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].path == m_selected)
            return int(i);
    return -1;
}

void oxGuiFolderSelector::notify(bool chosen)
{
    if (m_selectCommand != 0 && theApplication)
        theApplication->postCommand(unsigned(m_selectCommand));
    if (m_onSelection)
        m_onSelection(chosen);
    requestRedisplay();
}

void oxGuiFolderSelector::selectRow(int i)
{
    if (m_entries.empty())
        return;
    i = std::clamp(i, 0, int(m_entries.size()) - 1);
    if (m_entries[size_t(i)].path == m_selected)
        return;
    m_selected = m_entries[size_t(i)].path;
    notify(false);
}

std::string oxGuiFolderSelector::caption(const oxFolderEntry& e)
{
    return e.depth == 0 ? e.path.systemPath() : e.path.name();
}

bool oxGuiFolderSelector::onClick(int button, int x, int y)
{
    if (button != 0 || !isActive())
        return false;
    const int row = rowAt(x, y);
    if (row < 0)
        return false;
    const oxFolderEntry& e = m_entries[size_t(row)];
    const int rx = toElementPoint(*this, {double(x), double(y)}).x - m_position.x;
    if (rx >= (e.depth + 1) * m_rowHeight) {
        const auto now = std::chrono::steady_clock::now();
        const bool twice = row == m_lastClickRow && now - m_lastClick < DOUBLE_CLICK;
        m_lastClickRow = twice ? -1 : row;
        m_lastClick = now;
        m_selected = e.path;
        notify(twice);
    } else {
        m_lastClickRow = -1;
        toggle(row);
    }
    return true;
}

bool oxGuiFolderSelector::onKeyDown(int key, bool special)
{
    // Only with the focus: beside a picture sheet the arrow keys scroll it.
    if (!isActive() || m_entries.empty() || focusedElement() != this)
        return false;
    const int row = selectedRow();
    if (!special) {
        if (key != GUI_KEY_ENTER || row < 0)
            return false;
        notify(true);
        return true;
    }
    switch (key) {
    case GUI_SPECIAL_DOWN:
        selectRow(row < 0 ? 0 : row + 1);
        return true;
    case GUI_SPECIAL_UP:
        selectRow(row < 0 ? 0 : row - 1);
        return true;
    case GUI_SPECIAL_PAGE_DOWN:
        selectRow(row + PAGE_ROWS);
        return true;
    case GUI_SPECIAL_PAGE_UP:
        selectRow(row - PAGE_ROWS);
        return true;
    case GUI_SPECIAL_HOME:
        selectRow(0);
        return true;
    case GUI_SPECIAL_END:
        selectRow(int(m_entries.size()) - 1);
        return true;
    case GUI_SPECIAL_RIGHT:
        if (row >= 0 && m_entries[size_t(row)].state == oxFolderEntry::COLLAPSED)
            toggle(row);
        else if (row >= 0 && m_entries[size_t(row)].state == oxFolderEntry::EXPANDED)
            selectRow(row + 1);
        return true;
    case GUI_SPECIAL_LEFT: {
        if (row < 0)
            return true;
        if (m_entries[size_t(row)].state == oxFolderEntry::EXPANDED) {
            toggle(row);
            return true;
        }
        int parent = row - 1;
        while (parent >= 0 && m_entries[size_t(parent)].depth >= m_entries[size_t(row)].depth)
            --parent;
        if (parent >= 0)
            selectRow(parent);
        return true;
    }
    default:
        return false;
    }
}

void oxGuiFolderSelector::draw()
{
    layOutRows(applicationWindowSize().height, [](oxTextOutput& text) { text.draw(); });
}

void oxGuiFolderSelector::layOutRows(double window, const std::function<void(oxTextOutput& text)>& paint)
{
    if (!isVisible() || !font())
        return;
    const oxGuiSizeD row = toWindowSize(*this, {m_rowHeight, m_rowHeight});
    const oxColour highlight(m_bgColour.r, m_bgColour.g, m_bgColour.b, 255);
    m_textOutput.setMultiLine(false);
    m_textOutput.setKeepGLState(true);
    m_textOutput.setMinimumSize(0, 0);
    m_textOutput.setAlignment(TA_LEFT);
    m_textOutput.setTextHeight(row.height);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const oxFolderEntry& e = m_entries[i];
        const oxGuiPointD at = toWindowPoint(*this, {m_position.x, oxGuiToPixel(m_position.y + double(i) * m_rowHeight)});
        // Rows outside the window cost nothing in a long tree.
        if (at.y + row.height < 0 || (window > 0 && at.y > window))
            continue;
        const double baseline = at.y + row.height;
        m_textOutput.setColour(m_fgColour);
        m_textOutput.setBackgroundColour({0, 0, 0, 0});
        if (e.state != oxFolderEntry::LEAF) {
            m_textOutput.setText(e.state == oxFolderEntry::COLLAPSED ? "+" : "-");
            m_textOutput.setPosition(at.x + e.depth * row.width, baseline);
            paint(m_textOutput);
        }
        const bool selected = e.path == m_selected;
        m_textOutput.setText(caption(e));
        m_textOutput.setColour(selected ? highlight : m_fgColour);
        m_textOutput.setBackgroundColour(selected ? m_fgColour : oxColour(0, 0, 0, 0));
        m_textOutput.setPosition(at.x + (e.depth + 1) * row.width, baseline);
        paint(m_textOutput);
    }
}
