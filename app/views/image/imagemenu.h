// The single-picture view's context menu and its command numbers.
#pragma once

#include <memory>
#include <string>

class ViewApplication;
class oxGuiPopupMenu;

enum ImageViewCommand : unsigned {
    CMD_VIEW_BACK = 200,
    CMD_VIEW_NEXT = 201,
    CMD_VIEW_ORIGINAL_SIZE = 202,
    CMD_VIEW_SELECT_FOLDER = 203,
    CMD_VIEW_SAVE_AS = 208,
    CMD_VIEW_DELETE = 211,
    // Handled by the application.
    CMD_APP_THUMBNAILS = 212,
    CMD_APP_INFO_LEVEL = 213,
};

// The info entry's text for the level: show, show more, hide.
std::string infoEntryText(int infoLevel);

// Back, Next, Original size | Save as..., Delete | info entry, Select
// folder..., Thumbnails, then the application's common entries.
std::unique_ptr<oxGuiPopupMenu> buildImageMenu(int infoLevel, ViewApplication* app);
