#include "app/views/image/imagemenu.h"

#include "app/shell/commands.h"
#include "app/views/viewapplication.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/gui/guimenu.h"

std::string infoEntryText(int infoLevel)
{
    switch (infoLevel) {
    case 0:
        return oxGetTranslation(N_("Show image information"));
    case 1:
        return oxGetTranslation(N_("Show more image information"));
    default:
        return oxGetTranslation(N_("Hide image information"));
    }
}

std::unique_ptr<oxGuiPopupMenu> buildImageMenu(int infoLevel, ViewApplication* app)
{
    auto menu = std::make_unique<oxGuiPopupMenu>();
    menu->addItem(oxGetTranslation(N_("Back")), CMD_BACK);
    menu->addItem(oxGetTranslation(N_("Next")), CMD_NEXT);
    menu->addItem(oxGetTranslation(N_("Original size")), CMD_ORIGINAL_SIZE);
    menu->addSeparator();
    menu->addItem(oxGetTranslation(N_("Save as...")), CMD_SAVE_AS);
    menu->addItem(oxGetTranslation(N_("Delete")), CMD_DELETE);
    menu->addSeparator();
    menu->addItem(infoEntryText(infoLevel), CMD_CYCLE_OVERLAYS);
    menu->addItem(oxGetTranslation(N_("Select folder...")), CMD_SELECT_FOLDER);
    menu->addItem(oxGetTranslation(N_("Thumbnails")), CMD_TOGGLE_VIEW);
    if (app)
        app->addCommonMenuEntries(*menu);
    return menu;
}
