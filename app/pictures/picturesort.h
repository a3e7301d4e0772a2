// Sorting the picture list. The sort order is given by the code of its sort
// command (CMD_SORT_BY_NAME, _DATE, _SIZE), which "SortMode" stores.
#pragma once

#include "app/shell/commands.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How the date and size of a file are read; empty members read the file
// system (a missing file has the lowest date and size -1, so it sorts first).
struct PictureFileKeys {
    std::function<double(const std::string& path)> date;
    std::function<int64_t(const std::string& path)> size;
};

// Sorts paths by mode; any value but CMD_SORT_BY_DATE and CMD_SORT_BY_SIZE sorts by name
// (name: full path, byte by byte; date: oldest first; size: smallest first).
// Each file's key is read exactly once, before any comparison, and equal keys
// are ordered by path: a file that changes or vanishes meanwhile cannot make
// the order inconsistent, and the result does not depend on the listing order.
void sortPicturePaths(std::vector<std::string>& paths, int mode, const PictureFileKeys& keys = {});
