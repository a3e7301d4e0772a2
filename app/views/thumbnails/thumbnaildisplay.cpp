#include "app/views/thumbnails/thumbnaildisplay.h"

#include "app/loader/loaderroles.h"
#include "app/shell/commands.h"
#include "app/shell/configkeys.h"
#include "app/views/fototransform.h"
#include "app/views/thumbnails/folderpanel.h"
#include "app/views/thumbnails/thumbnailmenu.h"
#include "app/views/viewapplication.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/softframe.h"
#include "oxengine/image/parallel.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/progressbar.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

ThumbnailDisplay::ThumbnailDisplay(ViewApplication* app, const std::vector<std::string>& pictures,
                                   ThumbnailSource& thumbnails, PictureOperations& operations,
                                   const std::vector<oxFilename>& roots)
    : Display(app), m_pictures(pictures), m_thumbnails(thumbnails), m_operations(operations)
{
    m_metrics.listMargin = readConfigInt(ConfigKey::ThnListMargin);
    m_metrics.titleMargin = readConfigInt(ConfigKey::ThnTitleMargin);
    m_metrics.itemSize = roundItemSize(readConfigInt(ConfigKey::ThnItemSize));
    m_metrics.borderWidth = readConfigInt(ConfigKey::ThnBorderWidth);
    m_captions.comments = readConfigBool(ConfigKey::ShowComments);
    m_captions.sizes = readConfigBool(ConfigKey::ShowSizes);
    m_captions.date = readConfigBool(ConfigKey::ShowDate);
    m_thumbnails.setThumbnailCount(readConfigInt(ConfigKey::ThnMaxCount));
    m_thumbnails.setThumbnailSize(m_metrics.itemSize);

    m_folderPanel = addElement(std::make_unique<FolderPanel>(roots, CMD_FOLDER_CHOSEN,
                                                             [this](int began, int now) { splitMoved(began, now); }));
    m_progress = addElement(std::make_unique<oxGuiProgressBar>());
    m_progress->setName(oxGetTranslation(N_("Thumbnails")));
    m_progress->setVisible(false);
}

ThumbnailDisplay::~ThumbnailDisplay() = default;

void ThumbnailDisplay::applyGlobalStyle()
{
    const std::string fontName = application() ? application()->guiStyle().fontName : defaultGuiStyle.fontName;
    GLFont* font = GLFontManager::getFont(fontName);
    m_text.setFont(font);
    if (!font && !m_fontReported) {
        // Told once: the sheet goes on without text.
        m_fontReported = true;
        oxShowMessage(oxGetTranslation(N_("Thumbnail initialization error:\n")) +
                          formatString(oxGetTranslation(N_("Font '%s' not found.")), fontName.c_str()),
                      oxGetTranslation("Pictavo"), MB_OK, MI_ERROR);
    }
    Display::applyGlobalStyle();
}

void ThumbnailDisplay::applyStyle(const oxGuiStyle& style)
{
    Display::applyStyle(style);
    // Opaque: a sheet zoomed in or scrolled sideways passes under the panel.
    oxColour panel = style.bgColour;
    panel.a = 255;
    m_folderPanel->setBgColour(panel);
    m_text.setColour(style.fgColour);
    m_text.setBackgroundColour(style.bgColour);
    m_text.setTextHeight(style.textHeight);
    // As wide as the sheet's margin is at its present scale.
    placeFolderPanel(contentSize().width, windowSize());
}

SheetGrid ThumbnailDisplay::grid() const
{
    return sheetGrid(m_metrics, windowSize().width, count());
}

SheetView ThumbnailDisplay::sheetView() const
{
    SheetView v{m_displayScale, 0, 0};
    if (const FotoTransform* t = application() ? application()->fotoTransform() : nullptr)
        v.offsetX = t->offsetX(), v.offsetY = t->offsetY();
    return v;
}

oxGuiSize ThumbnailDisplay::contentSize()
{
    const oxGuiSize window = windowSize();
    const oxGuiSize size = sheetContentSize(m_metrics, grid(), window);
    placeFolderPanel(size.width, window);
    return size;
}

oxGuiSizeD ThumbnailDisplay::scaledContentSize()
{
    const oxGuiSize s = contentSize();
    return {s.width * m_displayScale, s.height * m_displayScale};
}

void ThumbnailDisplay::placeFolderPanel(int contentWidth, oxGuiSize window)
{
    const int width = contentWidth > 0 ? int(int64_t(m_metrics.listMargin) * window.width / contentWidth) : 0;
    m_folderPanel->place(width, window.height);
}

void ThumbnailDisplay::splitMoved(int, int now)
{
    // The margin that puts the panel's edge where the drag ended. (Scaling
    // the margin by now / began would move it further, as the sheet's scale
    // changes with the margin, and cannot scale a drag that began at 0.)
    const oxGuiSize window = windowSize();
    const ConfigKeyInfo& range = configKeyInfo(ConfigKey::ThnListMargin);
    m_metrics.listMargin = listMarginForPanel(m_metrics, window.width, now, range.min, range.max);
    if (FotoTransform* t = application() ? application()->fotoTransform() : nullptr)
        if (t->view() == this)
            t->onReshape(window.width, window.height);
    requestRedraw();
}

void ThumbnailDisplay::setFolder(const std::string& path)
{
    m_folder = path;
    m_thumbnails.updateThumbnails();
    m_folderPanel->showFolder(path);
    m_selection.clear();
    requestRedraw();
}

void ThumbnailDisplay::saveSettings() const
{
    writeConfigInt(ConfigKey::ThnListMargin, m_metrics.listMargin);
    writeConfigInt(ConfigKey::ThnTitleMargin, m_metrics.titleMargin);
    writeConfigInt(ConfigKey::ThnItemSize, m_metrics.itemSize);
    writeConfigInt(ConfigKey::ThnBorderWidth, m_metrics.borderWidth);
    writeConfigBool(ConfigKey::ShowComments, m_captions.comments);
    writeConfigBool(ConfigKey::ShowSizes, m_captions.sizes);
    writeConfigBool(ConfigKey::ShowDate, m_captions.date);
}

// ---- drawing ---------------------------------------------------------------------------------

void ThumbnailDisplay::drawView(int infoLevel)
{
    setInfoLevel(infoLevel);
    const oxGuiSize window = windowSize();
    const oxGuiStyle& style = application() ? application()->guiStyle() : defaultGuiStyle;
    const SheetColours colours{style.fgColour, style.bgColour};
    const double s = m_displayScale;
    const double th = captionHeight(s, style.textHeight);
    const SheetView view = sheetView();

    glPushMatrix();
    glLoadIdentity();
    glTranslated(-view.offsetX, -view.offsetY, 0);
    const double title = m_metrics.titleMargin * s;
    drawTextLine(m_text, m_folderPanel->selector().getSelectedPath(),
                 (m_metrics.listMargin + m_metrics.borderWidth) * s, title, title, style.fgColour, colours.title());
    if (m_pictures.empty()) {
        const oxGuiPointD origin = cellOrigin(m_metrics, grid(), 0);
        const double x = origin.x * s, y = origin.y * s;
        drawTextLine(m_text, oxGetTranslation(N_("The selected folder does not contain any supported picture files.")),
                     x, y + th, th, style.fgColour, colours.message());
        drawTextLine(m_text, oxGetTranslation(N_("Click here to search sub-folders for pictures.")), x, y + 2 * th,
                     th, style.fgColour, colours.message());
    } else {
        drawCells(window, view, colours, th);
    }
    glPopMatrix();

    updateProgress(window);
    renderElements();
}

void ThumbnailDisplay::drawCells(oxGuiSize window, const SheetView& view, const SheetColours& colours, double th)
{
    const SheetGrid g = grid();
    const bool clipped = application() && application()->fotoTransform();
    const RowRange rows = clipped ? visibleRows(m_metrics, g, view, window) : RowRange{0, g.rows - 1};
    // The loader makes the thumbnails on screen first.
    const std::pair<int, int> visible =
        clipped ? std::pair(rows.first * g.columns, std::min(count(), (rows.last + 1) * g.columns) - 1)
                : std::pair(0, -1);
    if (visible != m_visibleRange) {
        m_visibleRange = visible;
        m_thumbnails.setVisibleRange(visible.first, visible.second);
    }
    ExposureShader* shader = &exposureShader();
    m_visibleComplete = true;
    for (int row = rows.first; row <= rows.last; ++row) {
        for (int column = 0; column < g.columns; ++column) {
            const int index = row * g.columns + column;
            if (index >= count())
                return;
            if (clipped && !cellVisible(cellWindowRect(m_metrics, g, view, index), window))
                continue;
            const std::string& path = m_pictures[size_t(index)];
            const oxGuiPointD origin = cellOrigin(m_metrics, g, index);
            CellDrawing cell;
            cell.position = {origin.x * view.scale, origin.y * view.scale};
            cell.itemSize = m_metrics.itemSize;
            cell.scale = view.scale;
            cell.captionHeight = th;
            cell.selected = m_selection.contains(index);
            // Held while the cell is drawn: the loader can neither drop nor
            // refill the thumbnail meanwhile.
            ThumbnailReader thumbnail = m_thumbnails.readThumbnail(path);
            const LoadedPicture* record = thumbnail.get();
            m_visibleComplete = m_visibleComplete && record;
            drawCell(cell, record, captionLines(path, record, m_captions), colours, m_text, shader);
        }
    }
}

SheetView ThumbnailDisplay::firstView(oxGuiSize window, int count) const
{
    // As the viewing transform fits the sheet and then scrolls to its top
    // left: content narrower or lower than the window is centred.
    const oxGuiSize content = sheetContentSize(m_metrics, sheetGrid(m_metrics, window.width, count), window);
    SheetView v{fitZoomFor(window.width, window.height, content, true), 0, 0};
    const double spareX = content.width * v.scale - window.width, spareY = content.height * v.scale - window.height;
    v.offsetX = spareX < 0 ? spareX * 0.5 : 0.0;
    v.offsetY = spareY < 0 ? spareY * 0.5 : 0.0;
    return v;
}

std::vector<int> ThumbnailDisplay::firstFrameCells(oxGuiSize window, int count) const
{
    const SheetView view = firstView(window, count);
    const SheetGrid g = sheetGrid(m_metrics, window.width, count);
    const RowRange rows = visibleRows(m_metrics, g, view, window);
    std::vector<int> cells;
    for (int index = rows.first * g.columns; index < std::min(count, (rows.last + 1) * g.columns); ++index)
        if (cellVisible(cellWindowRect(m_metrics, g, view, index), window))
            cells.push_back(index);
    return cells;
}

CellDrawing ThumbnailDisplay::firstFrameCell(oxGuiSize window, int count, int index) const
{
    const oxGuiStyle& style = application() ? application()->guiStyle() : defaultGuiStyle;
    const SheetView view = firstView(window, count);
    const oxGuiPointD origin = cellOrigin(m_metrics, sheetGrid(m_metrics, window.width, count), index);
    CellDrawing cell;
    cell.position = {origin.x * view.scale - view.offsetX, origin.y * view.scale - view.offsetY};
    cell.itemSize = m_metrics.itemSize;
    cell.scale = view.scale;
    cell.captionHeight = captionHeight(view.scale, style.textHeight);
    return cell;
}

bool ThumbnailDisplay::drawFirstFrame(oxSoftFrame& frame, const std::vector<std::string>& pictures,
                                      const std::string& folder, const FirstFrameThumbnails& thumbnail,
                                      std::vector<int>* missing)
{
    const oxGuiSize window{frame.width(), frame.height()};
    const int n = int(pictures.size());
    if (n == 0 || m_captions.comments || m_captions.sizes || m_captions.date || !m_text.font())
        return false;
    const oxGuiStyle& style = application() ? application()->guiStyle() : defaultGuiStyle;
    const SheetColours colours{style.fgColour, style.bgColour};
    const SheetView view = firstView(window, n);
    const SheetGrid g = sheetGrid(m_metrics, window.width, n);
    std::vector<std::pair<int, CellDrawing>> cells;
    for (int index : firstFrameCells(window, n))
        cells.emplace_back(index, firstFrameCell(window, n, index));
    // The squares (reading their thumbnails takes longest) while the panel
    // is laid out; then the title and the panel, which no square overlaps,
    // and the captions over the squares.
    std::vector<char> empty(cells.size(), 0);
    bool squares = false;
    std::thread squareDrawing([&] {
        squares = oxParallelFor(cells.size(), size_t(1) << 20, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i) {
                const std::optional<FirstFrameThumbnail> t = thumbnail(cells[i].first);
                if (t && t->image && drawSquareInto(frame, cells[i].second, *t->image, t->fullExtent, colours.cell()))
                    continue;
                if (!missing)
                    return false;
                const CellDrawing& c = cells[i].second;
                const double side = c.itemSize * c.scale;
                frame.fillRect(c.position.x, c.position.y, c.position.x + side, c.position.y + side, colours.cell());
                empty[i] = 1;
            }
            return true;
        });
    });
    m_folderPanel->showFolder(folder);
    placeFolderPanel(sheetContentSize(m_metrics, g, window).width, window);
    squareDrawing.join();
    if (!squares || cells.empty())
        return false; // a cold cache: the GL frame comes first, without this one's work
    const double title = m_metrics.titleMargin * view.scale;
    bool drawn = !setUpTextLine(m_text, m_folderPanel->selector().getSelectedPath(),
                                (m_metrics.listMargin + m_metrics.borderWidth) * view.scale - view.offsetX,
                                title - view.offsetY, title, style.fgColour, colours.title()) ||
                 frame.drawText(m_text);
    drawn = m_folderPanel->drawInto(frame) && drawn;
    for (size_t i = 0; i < cells.size() && drawn; ++i) {
        const std::vector<std::string> caption = captionLines(pictures[size_t(cells[i].first)], nullptr, m_captions);
        drawn = drawCaptionInto(frame, cells[i].second, caption, colours, m_text);
    }
    for (size_t i = 0; i < cells.size() && missing; ++i)
        if (empty[i])
            missing->push_back(cells[i].first);
    return drawn;
}

oxGuiRect ThumbnailDisplay::drawFirstFrameCell(oxSoftFrame& frame, const std::vector<std::string>& pictures,
                                               int index, const FirstFrameThumbnail& thumbnail)
{
    const int n = int(pictures.size());
    if (index < 0 || index >= n || !thumbnail.image)
        return {};
    const oxGuiStyle& style = application() ? application()->guiStyle() : defaultGuiStyle;
    const SheetColours colours{style.fgColour, style.bgColour};
    const CellDrawing cell = firstFrameCell({frame.width(), frame.height()}, n, index);
    if (!drawSquareInto(frame, cell, *thumbnail.image, thumbnail.fullExtent, colours.cell()) ||
        !drawCaptionInto(frame, cell, captionLines(pictures[size_t(index)], nullptr, m_captions), colours, m_text))
        return {};
    // Whole pixels around the square, within the frame.
    const double side = cell.itemSize * cell.scale;
    const int x0 = std::max(0, int(std::floor(cell.position.x))), y0 = std::max(0, int(std::floor(cell.position.y)));
    const int x1 = std::min(frame.width(), int(std::ceil(cell.position.x + side)));
    const int y1 = std::min(frame.height(), int(std::ceil(cell.position.y + side)));
    if (x1 <= x0 || y1 <= y0)
        return {};
    return oxGuiRect{{x0, y0}, {x1 - x0, y1 - y0}};
}

bool ThumbnailDisplay::visibleCellsReady() const
{
    const auto [first, last] = m_visibleRange;
    if (first > last)
        return false;
    for (int index = first; index <= last && index < count(); ++index)
        if (!m_thumbnails.readThumbnail(m_pictures[size_t(index)]))
            return false;
    return true;
}

void ThumbnailDisplay::updateProgress(oxGuiSize window)
{
    const LoaderProgress progress = m_thumbnails.progress();
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const bool shown = m_progressShowing.update(progress.done, progress.queued, now);
    if (m_progress->isVisible() != shown)
        m_progress->setVisible(shown);
    if (!shown)
        return;
    m_progress->setProgress(progress.done, progress.queued);
    const oxGuiSize size = m_progress->getSize();
    m_progress->setPosition({window.width - size.width, window.height - size.height});
}

bool ProgressShowing::update(int done, int queued, double now)
{
    if (queued <= 0 || done >= queued) {
        m_start = -1;
        m_shown = false;
        return false;
    }
    if (m_start < 0) {
        m_start = now;
        m_startDone = done;
    }
    if (m_shown)
        return true;
    const double elapsed = now - m_start;
    const int made = done - m_startDone;
    if (made <= 0) {
        m_shown = elapsed >= delay; // slow work, nothing to go by yet
    } else {
        // Early only when clearly long: the first rate understates a sheet
        // that speeds up once the window is up (a cache read in 0.4 s
        // looked like 0.6 s more and flashed the bar).
        const double remaining = (queued - done) * elapsed / made;
        m_shown = (elapsed >= delay / 4 && remaining >= 2 * delay) || (elapsed >= delay && remaining >= delay);
    }
    return m_shown;
}

// ---- input ------------------------------------------------------------------------------------

int ThumbnailDisplay::hitTest(int x, int y, bool quiet)
{
    ViewApplication* app = application();
    if (!app || !app->fotoTransform())
        return -1;
    const SheetHit hit = sheetHitTest(m_metrics, grid(), count(), sheetView(), x, y);
    if (hit.searchLine && !quiet)
        app->openFolder(m_folderPanel->selector().getSelectedPath(), true);
    return hit.index;
}

bool ThumbnailDisplay::onClick(int button, int x, int y)
{
    return click(button, x, y, oxGuiKeyModifiers());
}

bool ThumbnailDisplay::click(int button, int x, int y, int modifiers)
{
    if (Display::onClick(button, x, y))
        return true;
    if (button == 0) {
        if (!(modifiers & KM_CTRL)) {
            const int index = hitTest(x, y, false);
            if (index >= 0 && application()) {
                application()->showPictureAt(index);
                return true;
            }
            m_selection.clear();
        } else {
            m_selection.ctrlClick(hitTest(x, y, true), (modifiers & KM_SHIFT) != 0);
        }
        requestRedraw();
        return true;
    }
    if (button == 2) {
        m_selection.rightClick(hitTest(x, y, true));
        requestRedraw();
        // Runs modally; the chosen entry posts its command.
        contextMenu()->popup(x, y);
        return false;
    }
    return false;
}

std::unique_ptr<oxGuiPopupMenu> ThumbnailDisplay::contextMenu()
{
    ThumbnailMenuState state;
    state.selected = m_selection.within(count()).size();
    state.showComments = m_captions.comments;
    state.showSizes = m_captions.sizes;
    state.showDate = m_captions.date;
    state.sortMode = unsigned(readConfigInt(ConfigKey::SortMode));
    auto menu = buildThumbnailMenu(state, application());
    menu->applyStyle(application() ? application()->guiStyle() : defaultGuiStyle);
    return menu;
}

// ---- commands ---------------------------------------------------------------------------------

bool ThumbnailDisplay::onCommand(unsigned command)
{
    switch (command) {
    case CMD_ROTATE_CLOCKWISE:
        rotateSelection(1);
        return true;
    case CMD_ROTATE_COUNTER_CLOCKWISE:
        rotateSelection(3);
        return true;
    case CMD_ROTATE_HALF:
        rotateSelection(2);
        return true;
    case CMD_CHANGE_COMMENT:
        changeComment();
        return true;
    case CMD_SAVE_AS:
        convertSelection();
        return true;
    case CMD_MOVE_TO:
        copyMoveSelection(false);
        return true;
    case CMD_COPY_TO:
        copyMoveSelection(true);
        return true;
    case CMD_TOGGLE_COMMENTS:
    case CMD_TOGGLE_SIZES:
    case CMD_TOGGLE_DATE: {
        bool& on = command == CMD_TOGGLE_COMMENTS ? m_captions.comments
                   : command == CMD_TOGGLE_SIZES  ? m_captions.sizes
                                                  : m_captions.date;
        on = !on;
        requestRedraw();
        return true;
    }
    case CMD_FOLDER_CHOSEN:
        if (application())
            application()->openFolder(m_folderPanel->selector().getSelectedPath(), false);
        return true;
    default:
        return false;
    }
}

bool ThumbnailDisplay::forSelected(const std::function<void(int index, const std::string& path)>& action)
{
    const std::vector<int> selected = m_selection.within(count());
    if (selected.empty()) {
        beep(2);
        return false;
    }
    for (int index : selected)
        action(index, m_pictures[size_t(index)]);
    return true;
}

void ThumbnailDisplay::rotateSelection(int quarterTurns)
{
    oxImageTransform transform;
    transform.rotation = quarterTurns;
    // One batch: the failures (a PNG refuses) come in one message.
    PictureOperationBatch batch(m_operations);
    forSelected([&](int, const std::string& path) { m_operations.transformPicture(path, transform); });
}

void ThumbnailDisplay::changeComment()
{
    const std::vector<int> selected = m_selection.within(count());
    if (selected.empty()) {
        beep(2);
        return;
    }
    std::string comment;
    if (ThumbnailReader first = m_thumbnails.readThumbnail(m_pictures[size_t(selected.front())]))
        comment = first->text;
    const char* prompt =
        selected.size() == 1 ? N_("New comment for the image:") : N_("New comment for all selected images:");
    if (!oxInputBox(oxGetTranslation(prompt), oxGetTranslation("Pictavo"), comment))
        return;
    oxImageTransform transform;
    transform.setComment = true;
    transform.comment = comment;
    PictureOperationBatch batch(m_operations);
    forSelected([&](int, const std::string& path) { m_operations.transformPicture(path, transform); });
}

void ThumbnailDisplay::convertSelection()
{
    std::vector<PictureConversion> pictures;
    const bool any = forSelected([&](int, const std::string& path) {
        PictureConversion item{path, oxToneMapping::neutral()};
        if (ThumbnailReader t = m_thumbnails.readThumbnail(path); t && t->hdr)
            item.toneMapping = {TM_HDR_ONLY, 0.0f, std::min(2.0f * t->midValue, t->maxValue), 1.0f, 1.0f};
        pictures.push_back(item);
    });
    if (any && application())
        application()->convertPictures(pictures);
}

void ThumbnailDisplay::copyMoveSelection(bool copy)
{
    std::vector<std::string> paths;
    if (forSelected([&](int, const std::string& path) { paths.push_back(path); }) && application())
        application()->copyMovePictures(paths, copy);
}
