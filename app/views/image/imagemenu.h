// The single-picture view's context menu.
#pragma once

#include <memory>
#include <string>

class ViewApplication;
class oxGuiPopupMenu;

// The info entry's text for the level: show, show more, hide.
std::string infoEntryText(int infoLevel);

// Back, Next, Original size | Save as..., Delete | info entry, Select
// folder..., Thumbnails, then the application's common entries.
std::unique_ptr<oxGuiPopupMenu> buildImageMenu(int infoLevel, ViewApplication* app);
