// The application object: owns the picture list, the background loader, the
// single-picture view, the thumbnail view and the viewing transform, carries
// the global keys and commands, and keeps the position, view and overlay
// level for the next start.
#pragma once

#include "app/loader/bgtexloader.h"
#include "app/pictures/picturelist.h"
#include "app/shell/commandline.h"
#include "app/shell/commands.h"
#include "app/shell/loaderwiring.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/thumbnails/thumbnaildisplay.h"
#include "app/views/viewapplication.h"

#include "oxengine/platform/firstframe.h"
#include "oxengine/platform/glapp.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class DecodeHeadStart;
class SheetFill;
class ThumbnailHeadStart;
class FotoTransform;
class oxGuiPopupMenu;

// The initial window: the screen less 50 pixels, at most 1024 x 768.
void initialWindowSize(int screenWidth, int screenHeight, int& width, int& height);

class PictavoApp : public oxGLUTApplication, public ViewApplication {
public:
    // Reads "LastFolder" and "LastOverlays"; nothing is shown before run.
    // Tests hand loader services of their own; the empty ones are the
    // program's (programLoaderServices), and failed file operations are
    // shown in message boxes on the main thread.
    explicit PictavoApp(LoaderServices loaderServices = {});
    ~PictavoApp() override;

    // ---- before run: the command line ----
    void setStartFullScreen(bool on) { setFullScreen(on); }
    // Starts in the thumbnail view whatever "LastMode" says.
    void setStartInThumbnails(bool on) { m_startInThumbnails = on; }
    // Replaces "LastFolder"; a file is shown first.
    void setStartLocation(const StartLocation& location);
    // The loader's log file (false, and the user told, when it cannot open).
    bool setLogging(bool on);

    // ---- what the keys and commands do ----
    // Switches between the single-picture and the thumbnail view; the sheet
    // comes back at the zoom and scroll it was left at.
    void toggleView();
    // Moves the file to the Trash (asking first with confirm) and takes it
    // off the list. False when it could not be deleted (the user was told).
    bool deletePicture(const std::string& path, bool confirm);
    void showHelp();
    // The settings dialog; "OK" applies the style at once.
    void showSettings();
    // The style becomes the application's and both views take it now: text
    // sizes and colours change in the views and the folder panel alike.
    void applyGuiStyle(const oxGuiStyle& style);
    // Main thread: the failures background work reported so far, each in
    // a message box (the engine's own once the window is going).
    void showReportedFailures();
    // Stores view, overlay level and position, stops the views and the
    // loader, and ends the main loop. Runs once; later calls do nothing.
    void shutDown();
    void cycleOverlayLevel();
    // The first folder load (onStart): at the start file, else at the last
    // picture ("LastPath", else the position "LastFile") when the folder is
    // the last one, else at the first picture. A start folder given that
    // does not exist is said so and the last folder shown instead; a last
    // folder that has gone gives way to the Pictures folder, else home.
    void loadStartFolder();
    // The window's caption: the picture's name and position ("a.jpg (3/40)
    // - Pictavo"), the folder and its count in the thumbnail view, else
    // the program's name.
    std::string windowCaptionText() const;
    void updateWindowCaption();

    PictureList& pictures() { return m_list; }
    BGTextureLoader& loader() { return *m_loader; }
    ImageDisplay* imageDisplay() { return m_imageDisplay.get(); }
    ThumbnailDisplay* thumbnailDisplay() { return m_thumbnailDisplay.get(); }
    Display* activeView() const { return m_activeView; }
    bool thumbnailsActive() const { return m_activeView && m_activeView == m_thumbnailDisplay.get(); }
    bool pictureViewActive() const { return m_activeView && m_activeView == m_imageDisplay.get(); }
    int overlayLevel() const { return m_overlayLevel; }
    bool isShutDown() const { return m_shutDown; }

    // ---- framework ----
    void onBeforeWindow(_XDisplay* display) override;
    void onStart() override;
    void render() override;
    void display(bool flushOnly) override;
    bool frameCoversWindow() override;
    // The window's close button: the same orderly end as Escape.
    void onClose() override;
    bool onCommand(unsigned command) override;
    bool onKeyDown(int key, bool special) override;
    // A picture shown fitted stays fitted to the new window size (the
    // window becomes full-screen only after the first picture is shown).
    void onReshape(int width, int height) override;

    // ---- what the views ask of the application ----
    oxApplication* framework() override { return this; }
    FotoTransform* fotoTransform() override { return m_transform; }
    void stepPicture(int delta) override { m_list.step(delta); }
    void selectFolder() override { m_list.selectFolder(); }
    PictureOperations* pictureOperations() override { return m_loader.get(); }
    void deletePicture(const std::string& path) override;
    void saveAs(const SaveAsRequest& request) override;
    void convertPictures(const std::vector<PictureConversion>& pictures) override;
    void copyMovePictures(const std::vector<std::string>& paths, bool copy) override;
    // The list shows the folder's pictures (its folder, or one inside it
    // when sub-folders are searched).
    bool isListedFolder(const std::string& folder) const;
    void addCommonMenuEntries(oxGuiPopupMenu& menu) override;
    void viewDestroyed(Display* view) override;
    void showPictureAt(int index) override;
    void openFolder(const std::string& path, bool searchSubfolders) override;

private:
    PictureListHooks listHooks();
    // Loads the list's folder and shows file, else the entry at index;
    // false when the folder does not exist (the list has said so).
    bool startAt(const std::string& file, int index);
    // The sheet's first frame drawn without GL; the cells on screen the
    // cache lacks are filled in as they are made (m_sheetFill).
    void showSheetFirstFrame(_XDisplay* display);
    // Shows the thumbnails made since, without GL; false once that is over
    // and the GL frame takes the screen.
    bool fillSheetWithoutGL();
    void makeActive(Display* view);
    // The thumbnail view becomes the active one, showing the list's folder.
    void enterThumbnails();
    void showSheetTop(); // a newly shown sheet starts at its top
    void showSheetEnd();
    // The list changed while the sheet is shown: a new folder is fitted
    // anew, the same folder keeps its zoom and scroll.
    void showFolderInSheet(const std::string& folder);
    void startLoader();
    void destroyViews();

    PictureList m_list;
    ReportedFailures m_failures; // before the loader, whose thread adds to it
    // Decodes the start picture while the window comes up; the loader's fill takes it.
    std::shared_ptr<DecodeHeadStart> m_headStart;
    // Makes the first screen's thumbnails of a sheet the cache lacks while the
    // window comes up; the loader's workers take over.
    std::shared_ptr<ThumbnailHeadStart> m_thumbnailHeadStart;
    std::unique_ptr<BGTextureLoader> m_loader;
    bool m_firstFrameShown = false; // the loader reads ahead from then on
    // The single view put its frame at rest back into the back buffer after
    // the last frame; it holds for the next frame only.
    bool m_backBufferPrimed = false;
    // The start picture on screen before the GL window; goes with its first frame.
    std::unique_ptr<oxFirstFrameWindow> m_firstFrameWindow;
    std::unique_ptr<SheetFill> m_sheetFill;
    // When the sheet's first frame was drawn first (and not yet shown).
    std::optional<std::chrono::steady_clock::time_point> m_sheetDrawnSince;
    std::pair<int, int> m_sheetFirstCells{0, -1}; // the cells that frame showed
    static constexpr std::chrono::milliseconds SHEET_FIRST_FRAME_WAIT{250};
    static constexpr std::chrono::milliseconds SHEET_BEHIND_FIRST_FRAME_WAIT{3000};
    std::unique_ptr<ImageDisplay> m_imageDisplay;
    std::unique_ptr<ThumbnailDisplay> m_thumbnailDisplay;
    FotoTransform* m_transform = nullptr; // owned by the framework
    Display* m_activeView = nullptr;
    int m_overlayLevel = 1;
    // The sheet's zoom and offset when it was last left; zoom 0: never left.
    double m_sheetZoom = 0, m_sheetOffsetX = 0, m_sheetOffsetY = 0;
    bool m_startInThumbnails = false;
    // The start file given on the command line, shown instead of "LastFile".
    std::string m_startFile;
    bool m_startFolderGiven = false;
    bool m_holdShowing = false; // while the start folder is loaded
    bool m_shutDown = false;
};
