// The thumbnail view: the pictures of the list as a sheet of square
// thumbnails with captions beside a folder panel, under a title line with
// the folder, with a progress bar while the loader makes thumbnails. The
// user selects pictures and rotates them, changes their comments, or hands
// them to the conversion and copy/move dialogs. The viewing transform zooms
// and scrolls the sheet; the loader makes the thumbnails, the view only
// draws those that are ready.
#pragma once

#include "app/views/display.h"
#include "app/views/thumbnails/selection.h"
#include "app/views/thumbnails/sheetdraw.h"
#include "app/views/thumbnails/sheetgrid.h"

#include "oxengine/graphics/textoutput.h"
#include "oxengine/storage/files.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FolderPanel;
class PictureOperations;
class ThumbnailSource;
class oxGuiPopupMenu;
class oxGuiProgressBar;
class oxImage;
class oxSoftFrame;

// Whether the progress bar is worth showing: work that is over within about
// delay seconds (a sheet found in the cache) never flashes it; work that
// lasts longer shows it until it is done.
class ProgressShowing {
public:
    // At now (seconds, any steady origin) the loader reports progress.
    bool update(int done, int queued, double now);
    double delay = 0.5;

private:
    double m_start = -1; // when the work began
    int m_startDone = 0;
    bool m_shown = false;
};

class ThumbnailDisplay : public Display {
public:
    // pictures is the application's picture list (full paths), which must
    // outlive the view. Reads the sheet's settings and gives the loader the
    // thumbnail size and count. roots: the folder panel's tree.
    ThumbnailDisplay(ViewApplication* app, const std::vector<std::string>& pictures, ThumbnailSource& thumbnails,
                     PictureOperations& operations, const std::vector<oxFilename>& roots = oxFilename::listDrives());
    ~ThumbnailDisplay() override;

    // The font of the style (a box says so when there is none), then the style.
    void applyGlobalStyle() override;
    void applyStyle(const oxGuiStyle& style) override;
    void setDisplayScale(double scale) override { m_displayScale = scale; }
    double displayScale() const { return m_displayScale; }
    // The sheet in content units; sizes the folder panel to match.
    oxGuiSize contentSize() override;
    oxGuiSizeD scaledContentSize() override;
    bool fitsToWidth() const override { return true; }
    void drawView(int infoLevel) override;

    // The list now shows this folder: the loader's thumbnail set follows
    // the list, the folder panel shows the folder, the selection is cleared.
    void setFolder(const std::string& path);
    const std::string& folder() const { return m_folder; }
    // Writes margins, item size, border width and the caption switches.
    void saveSettings() const;

    // Elements first; see click.
    bool onClick(int button, int x, int y) override;
    bool onCommand(unsigned command) override;
    // Left: a picture opens alone; elsewhere the selection is cleared.
    // CTRL+left (and SHIFT) selects; right selects and opens the menu.
    // modifiers: KM_* bits.
    bool click(int button, int x, int y, int modifiers);
    // The picture under the window point, or -1. Unless quiet, a point in
    // the first row of an empty list starts the sub-folder search.
    int hitTest(int x, int y, bool quiet);
    std::unique_ptr<oxGuiPopupMenu> contextMenu();

    // The end of a splitter drag: the panel's width when it began and now.
    // The list margin follows, so the panel keeps the width it was dragged to.
    void splitMoved(int began, int now);

    const SheetMetrics& metrics() const { return m_metrics; }
    SheetGrid grid() const;
    const CaptionSwitches& captions() const { return m_captions; }
    const SheetSelection& selection() const { return m_selection; }
    SheetSelection& selection() { return m_selection; }
    FolderPanel& folderPanel() const { return *m_folderPanel; }
    oxGuiProgressBar& progressBar() const { return *m_progress; }
    ProgressShowing& progressShowing() { return m_progressShowing; }
    SheetView sheetView() const;
    // Whether every cell of the last frame had its thumbnail or its
    // failure mark (none was still waiting for the loader).
    bool visibleCellsComplete() const { return m_visibleComplete; }
    // Whether the cells on screen in the last frame all have their
    // thumbnails (or failure marks) now, so that a frame would show them
    // all; false before the first frame.
    bool visibleCellsReady() const;
    // The cells the last frame showed, first and last (first > last: none).
    std::pair<int, int> visibleRange() const { return m_visibleRange; }

    // The sheet's first frame, drawn without GL before the window is up, as
    // the view's own first frame of pictures (full paths) in folder will
    // look: fitted to the width, at the top, nothing selected, the pointer
    // elsewhere; the folder panel then shows folder. thumbnail(index) gives
    // the thumbnail of a cell on screen as the thumbnail cache holds it, or
    // nothing; it is asked on several threads at once while the rest is
    // drawn. False, the frame then unusable, when the view would draw what
    // this cannot (an empty list, caption lines beyond the name, glyphs from
    // the system's fonts), or when a cell has no thumbnail and missing is
    // null; with missing, such a cell is drawn empty and listed there.
    struct FirstFrameThumbnail {
        std::unique_ptr<oxImage> image;
        int fullExtent = 0; // the picture's longer side, 0 when unknown
    };
    // The indices of the cells on screen in that frame, in a window of that
    // size, for a sheet of count pictures.
    std::vector<int> firstFrameCells(oxGuiSize window, int count) const;
    using FirstFrameThumbnails = std::function<std::optional<FirstFrameThumbnail>(int index)>;
    bool drawFirstFrame(oxSoftFrame& frame, const std::vector<std::string>& pictures, const std::string& folder,
                        const FirstFrameThumbnails& thumbnail, std::vector<int>* missing = nullptr);
    // A cell of that frame drawn again with its thumbnail, over the empty
    // square; the pixels it covers, or an empty rectangle when it could not.
    oxGuiRect drawFirstFrameCell(oxSoftFrame& frame, const std::vector<std::string>& pictures, int index,
                                 const FirstFrameThumbnail& thumbnail);

private:
    int count() const { return int(m_pictures.size()); }
    void placeFolderPanel(int contentWidth, oxGuiSize window);
    // Where the sheet of count pictures lies when fitted to the window's
    // width and scrolled to the top.
    SheetView firstView(oxGuiSize window, int count) const;
    CellDrawing firstFrameCell(oxGuiSize window, int count, int index) const;
    void updateProgress(oxGuiSize window);
    void drawCells(oxGuiSize window, const SheetView& view, const SheetColours& colours, double th);
    // For each selected index in order; false (and the warning sound) when
    // nothing is selected.
    bool forSelected(const std::function<void(int index, const std::string& path)>& action);
    void rotateSelection(int quarterTurns);
    void changeComment();
    void convertSelection();
    void copyMoveSelection(bool copy);

    const std::vector<std::string>& m_pictures;
    ThumbnailSource& m_thumbnails;
    std::pair<int, int> m_visibleRange{0, -1}; // last told to the loader
    PictureOperations& m_operations;
    SheetMetrics m_metrics;
    double m_displayScale = 1.0;
    CaptionSwitches m_captions;
    SheetSelection m_selection;
    FolderPanel* m_folderPanel;
    oxGuiProgressBar* m_progress;
    ProgressShowing m_progressShowing;
    oxTextOutput m_text; // title, lines of an empty folder, captions
    std::string m_folder;
    bool m_fontReported = false;
    bool m_visibleComplete = false;
};
