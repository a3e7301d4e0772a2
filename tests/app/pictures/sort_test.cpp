#include "fixture.h"

#include <algorithm>
#include <limits>
#include <map>

TEST_F(PictureListTest, SortOrdersBreakTiesByPathAndKeepTheCurrentPicture)
{
    // name, bytes, date; ties in both date and size
    for (auto [name, bytes, date] : {std::tuple{"z.jpg", "1234", 300}, {"a.jpg", "12", 100}, {"x.jpg", "12", 100},
                                     {"x.jpg.jpg", "123456", 50}, {"ü.jpg", "", 200}, {"B.jpg", "1234", 300}})
        ASSERT_TRUE(oxFilename(make(name, bytes)).setModificationDate(date));
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    // Bytes compare unsigned: upper case first, a prefix before its extensions, UTF-8 last.
    const auto byName = at({"B.jpg", "a.jpg", "x.jpg", "x.jpg.jpg", "z.jpg", "ü.jpg"});
    EXPECT_EQ(list.paths(), byName);
    list.goTo(4);
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_DATE);
    list.sortList();
    EXPECT_EQ(list.paths(), at({"x.jpg.jpg", "a.jpg", "x.jpg", "ü.jpg", "B.jpg", "z.jpg"}));
    EXPECT_EQ(list.currentIndex(), 5);
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_SIZE);
    list.sortList();
    EXPECT_EQ(list.paths(), at({"ü.jpg", "a.jpg", "x.jpg", "B.jpg", "z.jpg", "x.jpg.jpg"}));
    EXPECT_EQ(list.currentPath(), tree.file("z.jpg"));
    writeConfigInt(ConfigKey::SortMode, 999);
    list.sortList();
    EXPECT_EQ(list.paths(), byName);

    // A file gone since the scan stays in the list and sorts first.
    std::filesystem::remove(tree.file("z.jpg"));
    for (int mode : {CMD_SORT_BY_DATE, CMD_SORT_BY_SIZE}) {
        writeConfigInt(ConfigKey::SortMode, mode);
        list.sortList();
        EXPECT_EQ(list.paths().front(), tree.file("z.jpg")) << mode;
        EXPECT_EQ(list.count(), 6);
    }
}

TEST(PictureSort, EachKeyIsReadOnceSoAChangingFileCannotUpsetTheOrder)
{
    std::vector<std::string> paths;
    std::map<std::string, int> firstKey, reads;
    for (int i = 0; i < 300; ++i) {
        paths.push_back("/p/" + std::to_string(i * 7919 % 1000));
        firstKey[paths.back()] = i % 5; // many ties
    }
    // Every later read sees the file changed or gone; key 2 reads as NaN.
    const auto read = [&](const std::string& p) { return ++reads[p] == 1 ? firstKey.at(p) : -1 - reads[p]; };
    PictureFileKeys keys;
    keys.date = [&](const std::string& p) {
        const int k = read(p);
        return k == 2 ? std::numeric_limits<double>::quiet_NaN() : double(k);
    };
    keys.size = [&](const std::string& p) { return int64_t(read(p)); };
    for (int mode : {CMD_SORT_BY_DATE, CMD_SORT_BY_SIZE}) {
        reads.clear();
        std::vector<std::string> sorted = paths;
        sortPicturePaths(sorted, mode, keys);
        EXPECT_TRUE(std::all_of(reads.begin(), reads.end(), [](const auto& r) { return r.second == 1; }));
        const auto key = [&](const std::string& s) {
            const int k = firstKey.at(s);
            return std::make_pair(mode == CMD_SORT_BY_DATE && k == 2 ? -1 : k, s); // NaN as the lowest date
        };
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [&](auto& x, auto& y) { return key(x) < key(y); }));
        EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), paths.begin(), paths.end()));
    }
}
