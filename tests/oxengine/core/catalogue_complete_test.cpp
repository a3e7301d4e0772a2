// Every text the code hands to the catalogue has its German translation.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(GermanCatalogue, TranslatesEveryExtractedText)
{
    if (runCommand("command -v xgettext >/dev/null && command -v msgcmp >/dev/null") != 0)
        GTEST_SKIP() << "gettext tools not installed";
    TempDir dir;
    std::string list;
    for (const char* top : {"oxengine", "app"}) {
        for (const auto& e : fs::recursive_directory_iterator(fs::path(OX_SOURCE_DIR) / top)) {
            const auto ext = e.path().extension();
            if (ext == ".cpp" || ext == ".h")
                list += e.path().string() + "\n";
        }
    }
    ASSERT_TRUE(writeFile(dir.file("files.txt"), list));
    // The keywords: the lookup itself, the N_ marker, and the checks whose
    // message argument is translated when it is shown.
    const std::string pot = dir.file("messages.pot");
    std::string output;
    ASSERT_EQ(runCommand("xgettext --from-code=UTF-8 -C --keyword=oxGetTranslation --keyword=N_ "
                         "--keyword=oxAssert:2 --keyword=oxVerify:2 --keyword=oxFatalError:1 "
                         "-f " + dir.file("files.txt") + " -o " + pot + " 2>&1", &output), 0) << output;
    if (!fs::exists(pot))
        GTEST_SKIP() << "no texts extracted";
    const int status = runCommand(std::string("msgcmp ") + OX_SOURCE_DIR "/data/de.po " + pot +
                                      " 2>&1", &output);
    EXPECT_EQ(status, 0) << "texts without a German entry in data/de.po:\n" << output;
}
