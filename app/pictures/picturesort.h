// Sort orders of the picture list. Their values are also the command codes of
// the sort menu entries and what "SortMode" stores.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum PictureSortMode : int {
    SortByName = 217, // full path, byte by byte
    SortByDate = 218, // modification date, oldest first
    SortBySize = 219, // file size, smallest first
};

// How the date and size of a file are read; empty members read the file
// system (a missing file has the lowest date and size -1, so it sorts first).
struct PictureFileKeys {
    std::function<double(const std::string& path)> date;
    std::function<int64_t(const std::string& path)> size;
};

// Sorts paths by mode; any value but SortByDate and SortBySize sorts by name.
// Each file's key is read exactly once, before any comparison, and equal keys
// are ordered by path: a file that changes or vanishes meanwhile cannot make
// the order inconsistent, and the result does not depend on the listing order.
void sortPicturePaths(std::vector<std::string>& paths, int mode, const PictureFileKeys& keys = {});
