#include "app/views/thumbnails/thumbnailmenu.h"

#include "app/shell/commands.h"
#include "app/views/viewapplication.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/guimenu.h"

#include <string>

std::unique_ptr<oxGuiPopupMenu> buildThumbnailMenu(const ThumbnailMenuState& state, ViewApplication* app)
{
    auto menu = std::make_unique<oxGuiPopupMenu>();
    auto item = [&](const char* text, unsigned command) { menu->addItem(oxGetTranslation(text), int(command)); };
    if (state.selected > 0) {
        item(N_("Rotate clockwise"), CMD_ROTATE_CLOCKWISE);
        item(N_("Rotate counter-clockwise"), CMD_ROTATE_COUNTER_CLOCKWISE);
        item(N_("Rotate by 180 degrees"), CMD_ROTATE_HALF);
        item(N_("Change comment"), CMD_CHANGE_COMMENT);
        menu->addSeparator();
        item(N_("Move to..."), CMD_MOVE_TO);
        item(N_("Copy to..."), CMD_COPY_TO);
        item(state.selected == 1 ? N_("Save as...") : N_("Batch conversion..."), CMD_SAVE_AS);
        menu->addSeparator();
    }
    item(state.showSizes ? N_("Hide size") : N_("Show size"), CMD_TOGGLE_SIZES);
    item(state.showDate ? N_("Hide date") : N_("Show date"), CMD_TOGGLE_DATE);
    item(state.showComments ? N_("Show file names") : N_("Show comments"), CMD_TOGGLE_COMMENTS);
    item(N_("Single picture"), CMD_TOGGLE_VIEW);
    oxGuiPopupMenu* sort = menu->addSubMenu(oxGetTranslation(N_("Sort by")))->popupMenu();
    const std::pair<const char*, unsigned> orders[] = {
        {N_("Name"), CMD_SORT_BY_NAME}, {N_("Date"), CMD_SORT_BY_DATE}, {N_("Size"), CMD_SORT_BY_SIZE}};
    for (const auto& [name, command] : orders)
        sort->addItem(std::string(state.sortMode == command ? "x " : "o ") + oxGetTranslation(name), int(command));
    if (app)
        app->addCommonMenuEntries(*menu);
    return menu;
}
