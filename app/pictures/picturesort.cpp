#include "app/pictures/picturesort.h"

#include "oxengine/storage/files.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

template <typename Key, typename Read>
void sortByKey(std::vector<std::string>& paths, Read read)
{
    std::vector<std::pair<Key, std::string>> keyed;
    keyed.reserve(paths.size());
    for (std::string& p : paths) {
        Key key = read(p);
        keyed.emplace_back(key, std::move(p));
    }
    // pair's ordering: key first, then the path for equal keys.
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i)
        paths[i] = std::move(keyed[i].second);
}

} // namespace

void sortPicturePaths(std::vector<std::string>& paths, int mode, const PictureFileKeys& keys)
{
    if (mode == CMD_SORT_BY_DATE) {
        sortByKey<double>(paths, [&](const std::string& p) {
            const double d = keys.date ? keys.date(p) : oxFilename(p).modificationDate();
            // NaN compares false both ways and would break the sort's ordering.
            return std::isnan(d) ? std::numeric_limits<double>::lowest() : d;
        });
    } else if (mode == CMD_SORT_BY_SIZE) {
        sortByKey<int64_t>(paths,
                           [&](const std::string& p) { return keys.size ? keys.size(p) : oxFilename(p).size(); });
    } else {
        // std::string compares its bytes as unsigned char: UTF-8 names sort
        // after ASCII ones and a prefix comes before its extensions.
        std::sort(paths.begin(), paths.end());
    }
}
