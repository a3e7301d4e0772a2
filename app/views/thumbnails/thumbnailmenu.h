// The thumbnail sheet's context menu: the selection's operations while
// something is selected, then the caption switches, the view switch, the
// sort order and the application's common entries.
#pragma once

#include <cstddef>
#include <memory>

class ViewApplication;
class oxGuiPopupMenu;

struct ThumbnailMenuState {
    size_t selected = 0; // selected pictures
    bool showComments = false;
    bool showSizes = false;
    bool showDate = false;
    unsigned sortMode = 0; // the sort command in force
};

std::unique_ptr<oxGuiPopupMenu> buildThumbnailMenu(const ThumbnailMenuState& state, ViewApplication* app);
