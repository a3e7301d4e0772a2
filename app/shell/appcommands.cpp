// PictavoApp: keys, commands, deleting, help and the common menu entries.
#include "app/dialogs/conversiondialog.h"
#include "app/dialogs/copymovedialog.h"
#include "app/dialogs/settingsdialog.h"
#include "app/shell/appmessages.h"
#include "app/shell/configkeys.h"
#include "app/shell/pictavoapp.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/fileops.h"

#include <GL/freeglut.h>

bool PictavoApp::onKeyDown(int key, bool special)
{
    if (special) {
        switch (key) {
        case GLUT_KEY_F1:
            showHelp();
            return true;
        case GLUT_KEY_F2:
            selectFolder();
            return true;
        case GUI_SPECIAL_HOME:
            m_list.goTo(0);
            // The sheet shows where the position went.
            if (thumbnailsActive() && m_transform)
                showSheetTop();
            return true;
        case GUI_SPECIAL_END:
            m_list.goTo(m_list.count() - 1);
            if (thumbnailsActive() && m_transform)
                showSheetEnd();
            return true;
        default:
            return false;
        }
    }
    switch (key) {
    case GUI_KEY_BACKSPACE:
        m_list.step(-1);
        return true;
    case GUI_KEY_TAB:
        selectFolder();
        return true;
    case GUI_KEY_ESCAPE:
    case 'Q':
    case 'q':
        shutDown();
        return true;
    case GUI_KEY_SPACE:
        m_list.step(+1);
        return true;
    case 'I':
    case 'i':
    case 'O':
    case 'o':
        cycleOverlayLevel();
        return true;
    case 'T':
    case 't':
        toggleView();
        return true;
    case 'F':
    case 'f':
        setFullScreen(!isFullScreen());
        return true;
    case GUI_KEY_DELETE: {
        const std::string path = m_list.currentPath();
        if (!thumbnailsActive() && !path.empty())
            deletePicture(path, true);
        // Left to the other listeners as well.
        return false;
    }
    default:
        return false;
    }
}

bool PictavoApp::onCommand(unsigned command)
{
    switch (command) {
    case CMD_TOGGLE_VIEW:
        toggleView();
        return true;
    case CMD_CYCLE_OVERLAYS:
        cycleOverlayLevel();
        return true;
    case CMD_SORT_BY_NAME:
    case CMD_SORT_BY_DATE:
    case CMD_SORT_BY_SIZE:
        writeConfigInt(ConfigKey::SortMode, int(command));
        m_list.sortList();
        // The sheet's selection named places in the old order.
        if (thumbnailsActive())
            showFolderInSheet(m_list.folder());
        updateWindowCaption(); // the position may have changed
        postRedisplay();
        return true;
    case CMD_SETTINGS:
        showSettings();
        return true;
    case CMD_HELP:
        showHelp();
        return true;
    case CMD_EXIT:
        shutDown();
        return true;
    case CMD_RESCAN:
        m_list.rescanFolder();
        return true;
    case CMD_SHOW_FAILURES:
        showReportedFailures();
        return true;
    default:
        return false;
    }
}

void PictavoApp::cycleOverlayLevel()
{
    m_overlayLevel = (m_overlayLevel + 1) % 3;
    postRedisplay();
}

void PictavoApp::showReportedFailures()
{
    // A failure reported while a box is open waits for the next command; one
    // arriving while a modal dialog runs is kept by the run and posted again.
    for (const std::string& text : m_failures.take()) {
        if (m_shutDown)
            oxShowMessage(text, oxGetTranslation("Pictavo"), MB_OK, MI_ERROR);
        else
            showAppMessage(text, oxGetTranslation("Pictavo"), MB_OK, MI_ERROR);
    }
}

void PictavoApp::deletePicture(const std::string& path)
{
    // Only what the list shows: a picture of an earlier list that is still
    // on screen by mistake must never be deleted unasked.
    if (path.empty() || path != m_list.currentPath())
        return;
    deletePicture(path, false);
}

void PictavoApp::saveAs(const SaveAsRequest& request)
{
    if (request.path.empty())
        return;
    PictureConversion picture{request.path, oxToneMapping::neutral()};
    if (request.hasExposure)
        picture.toneMapping = request.exposure;
    convertPictures({picture});
}

void PictavoApp::convertPictures(const std::vector<PictureConversion>& pictures)
{
    ConversionTask task;
    task.pictures = pictures;
    task.operations = m_loader.get();
    task.isListed = [this](const std::string& folder) { return isListedFolder(folder); };
    task.run();
}

void PictavoApp::copyMovePictures(const std::vector<std::string>& paths, bool copy)
{
    CopyMoveTask task;
    task.copy = copy;
    task.entries = paths;
    task.operations = m_loader.get();
    task.isListed = [this](const std::string& folder) { return isListedFolder(folder); };
    task.run();
}

bool PictavoApp::isListedFolder(const std::string& folder) const
{
    const oxFilename target(folder + "/"), listed(m_list.folder() + "/");
    return target == listed || (m_list.isRecursive() && listed.isAncestorOf(target));
}

bool PictavoApp::deletePicture(const std::string& path, bool confirm)
{
    oxFileOpOptions options;
    options.confirm = oxAskYesNo;
    const oxFileOpOutcome outcome = shellDelete(oxFilename(path), confirm, options);
    if (!oxFilename(path).exists()) {
        // The last one gone: the list has the view show nothing.
        m_list.removePath(path);
        return true;
    }
    if (!outcome.done) {
        std::string text = formatString(oxGetTranslation("Error deleting file '%s'."), path.c_str());
        if (!outcome.error.empty())
            text += "\n" + outcome.error;
        showAppMessage(text, oxGetTranslation("Pictavo"), MB_OK, MI_NONE);
        return false;
    }
    return true; // the user kept the file
}

void PictavoApp::showSettings()
{
    SettingsHooks hooks;
    hooks.applyStyle = [this](const oxGuiStyle& style) { applyGuiStyle(style); };
    hooks.reportError = [](const std::string& text) {
        showAppMessage(text, oxGetTranslation("Pictavo - Error"), MB_OK, MI_ERROR);
    };
    PVSettingsDlg dialog(guiStyle(), std::move(hooks));
    dialog.run();
}

void PictavoApp::applyGuiStyle(const oxGuiStyle& style)
{
    // Elements made from now on (menus, dialogs) copy the process-wide one.
    defaultGuiStyle = style;
    m_imageDisplay->applyStyle(style);
    m_thumbnailDisplay->applyStyle(style);
    postRedisplay();
}

void PictavoApp::showHelp()
{
    showAppMessage(oxGetTranslation("Pictavo\n"
                                    "Written by Quorvel Software, 2024-2025."
                                    "\n\nNavigation:\n"
                                    "- Left mouse button: Go to next image.\n"
                                    "- Mouse wheel: Zoom into image.\n"
                                    "- Drag left or middle mouse button: Scroll around the image.\n"
                                    "- Right mouse button: Opens a context menu.\n"
                                    "- In the thumbnail view, single images can be selected with CTRL+LMB;\n"
                                    "  groups of images can be selected with CTRL+SHIFT+LMB.\n"
                                    "\nKeyboard controls:\n"
                                    "[F1]\t\tHelp\n"
                                    "[F2], [Tab]\tSelect folder\n"
                                    "[Q], [Esc]\t\tQuit\n"
                                    "[Pos1]\t\tFirst image\n"
                                    "[<--]\t\tPrevious image\n"
                                    "[Space]\t\tNext image\n"
                                    "[End]\t\tLast image\n"
                                    "[Arrow]\t\tScroll\n"
                                    "[+], [-]\t\tZoom\n"
                                    "[1]\t\tOriginal size\n"
                                    "[T]\t\tThumbnails\n"
                                    "[I]\t\tShow/hide info\n"
                                    "[F]\t\tFull screen/window\n"
                                    "[P]\t\tPause/play animation\n"
                                    "[.]\t\tNext frame of an animation\n"),
                   oxGetTranslation("Pictavo help"), MB_OK, MI_NONE);
}

void PictavoApp::addCommonMenuEntries(oxGuiPopupMenu& menu)
{
    menu.addSeparator();
    menu.addItem(oxGetTranslation("Settings..."), CMD_SETTINGS);
    menu.addItem(oxGetTranslation("Help"), CMD_HELP);
    menu.addItem(oxGetTranslation("Exit"), CMD_EXIT);
}
