// Every command code of the program, each named once. Menus, widgets and the
// loader post these to the application's command queue; the active view sees
// them first, then the application. Codes are stored too ("SortMode" keeps a
// sort code), so their values never change.
#pragma once

enum Command : unsigned {
    // Views: the single-picture view and the thumbnail sheet.
    CMD_BACK = 200,
    CMD_NEXT = 201,
    CMD_ORIGINAL_SIZE = 202,
    CMD_SELECT_FOLDER = 203,
    CMD_ROTATE_CLOCKWISE = 204,
    CMD_ROTATE_COUNTER_CLOCKWISE = 205,
    CMD_ROTATE_HALF = 206,
    CMD_CHANGE_COMMENT = 207,
    CMD_SAVE_AS = 208, // "Save as..." for one picture, "Batch conversion..." for several
    CMD_MOVE_TO = 209,
    CMD_COPY_TO = 210,
    CMD_DELETE = 211,

    // The application.
    CMD_TOGGLE_VIEW = 212,
    CMD_CYCLE_OVERLAYS = 213,

    // Thumbnail captions.
    CMD_TOGGLE_COMMENTS = 214,
    CMD_TOGGLE_SIZES = 215,
    CMD_TOGGLE_DATE = 216,

    // The application: sort orders (also what "SortMode" stores), the
    // common menu entries, and the rescan the loader posts after a file
    // operation changed the listed folder.
    CMD_SORT_BY_NAME = 217,
    CMD_SORT_BY_DATE = 218,
    CMD_SORT_BY_SIZE = 219,
    CMD_SETTINGS = 220,
    CMD_HELP = 221,
    CMD_EXIT = 222,
    CMD_RESCAN = 223,

    // The thumbnail sheet's folder panel: the user chose a folder.
    CMD_FOLDER_CHOSEN = 224,

    // The application: background work reported failures; they are shown
    // in message boxes on the main thread.
    CMD_SHOW_FAILURES = 225,

    // The conversion dialog's own, while it runs.
    CMD_CONVERT_TYPE = 300,
    CMD_CONVERT_RESIZE = 301,
    CMD_CONVERT_KEEP_ASPECT = 302,
    CMD_CONVERT_WIDTH = 303,
    CMD_CONVERT_HEIGHT = 304,
    CMD_CONVERT_HELP = 305,

    // The settings dialog while it runs: a colour field changed.
    CMD_SETTINGS_COLOUR_CHANGED = 400,
};
