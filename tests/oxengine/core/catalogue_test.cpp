#include "oxengine/core/catalogue.h"

#include "failurecapture.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

void put32(std::string& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A GNU MO image: header, two tables, then the strings (NUL-terminated).
std::string buildMo(const Entries& entries, uint32_t revision = 0)
{
    const uint32_t n = uint32_t(entries.size()), idTable = 28, trTable = 28 + 8 * n;
    std::string out(28 + 16 * n, '\0');
    for (const auto& [at, v] : {std::pair{0u, 0x950412deu}, {4u, revision}, {8u, n}, {12u, idTable}, {16u, trTable}})
        put32(out, at, v);
    for (uint32_t i = 0; i < n; ++i)
        for (const auto& [text, table] : {std::pair{&entries[i].first, idTable}, {&entries[i].second, trTable}}) {
            put32(out, table + 8 * i, uint32_t(text->size()));
            put32(out, table + 8 * i + 4, uint32_t(out.size()));
            out += *text + '\0';
        }
    return out;
}

const std::string kHeader = "Content-Type: text/plain; charset=UTF-8\n";

std::optional<oxMoCatalogue> parse(const std::string& bytes, std::string* error = nullptr)
{
    std::string ignored;
    return oxParseMoCatalogue(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), error ? *error : ignored);
}

// The language environment for one scope (LANG alone, or nothing), and the catalogue read again.
struct LanguageScope {
    LanguageScope(const char* lang, const std::string& startFolder) : lang("LANG", lang)
    {
        oxResetCatalogueForTests(startFolder);
    }
    ~LanguageScope() { oxResetCatalogueForTests(); }
    EnvironmentVariable language{"LANGUAGE", nullptr}, all{"LC_ALL", nullptr}, messages{"LC_MESSAGES", nullptr}, lang;
};

} // namespace

TEST(MoCatalogue, ParsingAndRefusals)
{
    const auto c = parse(buildMo({{"", kHeader}, {"Yes", "Ja"}, {"untranslated", ""}, {"over", "\xC3\xBC" "ber \xE2\x82\xAC"}}));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->table.at("Yes"), "Ja");
    EXPECT_EQ(c->table.at("over"), "über €");
    EXPECT_FALSE(c->table.count("untranslated")); // empty translations are skipped
    auto latin1 = parse(buildMo({{"", "Content-Type: text/plain; charset=ISO-8859-1\n"}, {"over", "\xFC" "ber"}}));
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->table.at("over"), "über");
    // Translations whose format conversions differ from the original's are dropped.
    const struct {
        const char *id, *translation;
        bool kept;
    } cases[] = {{"Can't load picture '%s'. Skipping.", "Bild '%s' nicht ladbar.", true},
                 {"%d of %s", "%s von %d", false}, // swapped types
                 {"%s done", "%s fertig %s", false}, // an extra argument
                 {"%s gone", "weg %n", false},
                 {"%d of %s ", "%2$s: %1$d ", true}, // reordered by position
                 {"plain", "100 %", false},          // a bare % in a non-format
                 {"%ld bytes", "%d Bytes", false}};
    Entries entries{{"", kHeader}};
    for (const auto& c : cases)
        entries.emplace_back(c.id, c.translation);
    const auto catalogue = parse(buildMo(entries));
    ASSERT_TRUE(catalogue);
    for (const auto& c : cases)
        EXPECT_EQ(catalogue->table.count(c.id), c.kept ? 1u : 0u) << c.id;
    EXPECT_TRUE(oxSameFormatConversions("100%% sure", "100%% sicher"));
    EXPECT_TRUE(oxSameFormatConversions("%5.2f%%", "%.1f %%"));
    EXPECT_FALSE(oxSameFormatConversions("%*d", "%d"));

    // Malformed images are rejected as a whole.
    const std::string good = buildMo({{"", kHeader}, {"Yes", "Ja"}, {"No", "Nein"}});
    const auto patched = [&](size_t at, uint32_t v) {
        std::string bytes = good;
        put32(bytes, at, v);
        return bytes;
    };
    const size_t firstTranslation = 28 + 8 * 3 + 8; // length, then offset
    const std::pair<std::string, const char*> malformed[] = {
        {good.substr(0, 27), "Invalid MO file size"},
        {patched(0, 0x12345678), "Only MO files with system endianness are supported"},
        {buildMo({{"Yes", "Ja"}}, 1), "Only 1st version of MO files is supported"},
        {good.substr(0, 40), "Incomplete MO file"},                  // tables cut off
        {patched(8, 0xFFFFFFFF), "Incomplete MO file"},              // a table size beyond 32 bits
        {patched(firstTranslation + 4, 0xFFFFFFF0), "Incomplete MO file"}, // a string past the end
        {patched(firstTranslation, 0xFFFFFFFF), "Incomplete MO file"},     // a length that wraps around
        {good.substr(0, good.size() - 1), "Incomplete MO file"},     // the last NUL missing
        {buildMo({{"", "Content-Type: text/plain; charset=koi8-r\n"}, {"Yes", "Da"}}), "Unsupported MO charset koi8-r"},
    };
    for (const auto& [bytes, expected] : malformed) {
        std::string error;
        EXPECT_FALSE(parse(bytes, &error)) << expected;
        EXPECT_EQ(error, expected);
    }
}

TEST(Catalogue, GermanAndTheLanguageVariables)
{
    TempDir dir;
    {
        LanguageScope german("de_DE.UTF-8", dir.path());
        EXPECT_STREQ(oxGetTranslation("Fatal Error"), "Schwerer Fehler");
    }
    ASSERT_TRUE(writeFile(dir.file("de.mo"), buildMo({{"", kHeader}, {"Fatal Error", "Eigener Fehler"}})));
    ASSERT_TRUE(writeFile(dir.file("ja.mo"), buildMo({{"", kHeader}, {"Yes", "Hai"}})));
    {
        LanguageScope german("de_DE.UTF-8", dir.path());
        EXPECT_STREQ(oxGetTranslation("Fatal Error"), "Eigener Fehler");
        EXPECT_STREQ(oxGetTranslation("Yes"), "Yes"); // only that file is read: texts it lacks stay English
    }
    for (const char* lang : {"en_US.UTF-8", "ja_JP.UTF-8", "C", "POSIX"}) { // languages not offered stay English
        LanguageScope scope(lang, dir.path());
        EXPECT_STREQ(oxGetTranslation("Yes"), "Yes") << lang;
    }
    // A broken catalogue there is reported once, as a notice, and leaves English.
    ASSERT_TRUE(writeFile(dir.file("de.mo"), buildMo({{"Yes", "Ja"}}, 1)));
    FailureCapture capture;
    LanguageScope german("de_DE.UTF-8", dir.path());
    EXPECT_STREQ(oxGetTranslation("Yes"), "Yes");
    const std::vector<oxFailure> failures = capture.failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].brokenInvariant);
    EXPECT_EQ(failures[0].title, ""); // the application's own
    EXPECT_EQ(failures[0].text, "oxEngine: Error initializing translation: Only 1st version of MO files is supported");

    // The language comes from the gettext variables in order.
    LanguageScope scope(nullptr, dir.path());
    EXPECT_EQ(oxLanguageCode(), "en");
    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(oxLanguageCode(), "fr");
    setenv("LC_MESSAGES", "sv_SE", 1);
    EXPECT_EQ(oxLanguageCode(), "sv");
    setenv("LC_ALL", "nn_NO.UTF-8", 1);
    EXPECT_EQ(oxLanguageCode(), "nb");
    setenv("LANGUAGE", "de:en", 1);
    EXPECT_EQ(oxLanguageCode(), "de");
}

// Every text the code hands to the catalogue has its German translation.
TEST(GermanCatalogue, TranslatesEveryExtractedText)
{
    if (runCommand("command -v xgettext >/dev/null && command -v msgcmp >/dev/null") != 0)
        GTEST_SKIP() << "gettext tools not installed";
    TempDir dir;
    std::string list;
    for (const char* top : {"oxengine", "app"}) {
        for (const auto& e : std::filesystem::recursive_directory_iterator(std::string(OX_SOURCE_DIR "/") + top)) {
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
    if (!std::filesystem::exists(pot))
        GTEST_SKIP() << "no texts extracted";
    const int status = runCommand(std::string("msgcmp ") + OX_SOURCE_DIR "/data/de.po " + pot +
                                      " 2>&1", &output);
    EXPECT_EQ(status, 0) << "texts without a German entry in data/de.po:\n" << output;
}
