#include "jpegtest.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace jpegtest;

namespace {

void transform(const std::string& file, const oxImageTransform& t)
{
    oxJpegHandler().transformFile(file, t);
}

// Exif- and ICC-like payloads that must be copied byte for byte.
Segment payload(int marker, const std::string& head, int n)
{
    std::string data = head;
    for (int i = 0; i < n; ++i)
        data += char(marker == 0xE1 ? i * 7 : 255 - i % 251);
    return {marker, data};
}
const Segment EXIF = payload(0xE1, std::string("Exif\0\0MM\0*\0\0\0\x08", 14), 300),
              ICC = payload(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14), 500);

// A test picture with Exif, ICC and two comments.
std::string makePicture(const std::string& path, uint32_t w, uint32_t h, const std::string& options, bool jfif = true)
{
    if (!makeJpeg(path, w, h, options, options.find("-grayscale") == std::string::npos ? 3 : 1))
        return std::string();
    const std::vector<Segment> markers = {EXIF, {0xFE, "first "}, ICC, {0xFE, "second"}};
    const std::string jpeg = withSegments(readFile(path), markers, !jfif);
    return writeFile(path, jpeg) ? jpeg : std::string();
}

} // namespace

// Every turn of every kind of picture against jpegtran: the same pixels and
// the same APP and COM markers, or, where jpegtran would have to trim edge
// blocks, a refusal that leaves the file as it was.
TEST_F(JpegTransform, MatchesJpegtranAndKeepsTheFile)
{
    struct Picture {
        const char* sampling;
        int mcu; // the multiple a refusal names
        uint32_t w, h;
    } const pictures[] = {
        {"-sample 1x1", 8, 64, 48},  {"-sample 1x1", 8, 61, 43},  {"-sample 2x1", 16, 70, 45},
        {"-sample 2x2", 16, 64, 48}, {"-sample 2x2", 16, 48, 40}, {"-sample 2x2", 16, 70, 45},
        {"-grayscale", 8, 61, 43},   {"-sample 1x2", 16, 40, 64},
    };
    const std::string source = dir.file("source.jpg"), ours = dir.file("ours.jpg"), theirs = dir.file("theirs.jpg");
    for (const Picture& p : pictures) {
        for (const char* coding : {"", " -progressive", " -restart 1", " -optimize"}) {
            const std::string options = std::string(p.sampling) + coding;
            // One kind without JFIF marker, Exif first, as cameras write them.
            const bool jfif = std::string(coding) != " -optimize";
            const std::string original = makePicture(source, p.w, p.h, options, jfif);
            ASSERT_FALSE(original.empty()) << options;
            for (int rotation = 1; rotation <= 3; ++rotation) {
                SCOPED_TRACE(options + " " + std::to_string(p.w) + "x" + std::to_string(p.h) + " turn " +
                             std::to_string(rotation));
                ASSERT_TRUE(writeFile(ours, original));
                const std::string error = imageError([&] { transform(ours, transformOf(rotation)); });
                if (runCommand("jpegtran -perfect -copy all -rotate " + std::to_string(90 * rotation) + " -outfile " +
                               theirs + " " + source + " 2>/dev/null") == 0) {
                    EXPECT_EQ(error, "");
                    EXPECT_TRUE(!djpeg(ours).empty() && djpeg(ours) == djpeg(theirs)) << "pixels differ";
                    EXPECT_EQ(segments(readFile(ours), APP_AND_COM), segments(readFile(theirs), APP_AND_COM));
                } else {
                    EXPECT_EQ(error, "JPEG transformation requires that the image dimensions can be divided by " +
                                         std::to_string(p.mcu) + ".");
                    EXPECT_TRUE(readFile(ours) == original);
                }
            }
        }
    }

    for (const char* options : {"-sample 2x2", "-sample 2x1 -progressive", "-grayscale"}) {
        ASSERT_FALSE(makePicture(file, 70, 45, options).empty());
        const std::string pixels = djpeg(file);
        transform(file, transformOf(0, "the new comment"));
        EXPECT_TRUE(djpeg(file) == pixels) << options;
        const std::vector<Segment> expected{segments(readFile(file), 0xE0)[0], EXIF, ICC, {0xFE, "the new comment"}};
        EXPECT_EQ(segments(readFile(file), APP_AND_COM), expected);
    }
    transform(file, transformOf(0, "")); // an empty comment removes them all
    EXPECT_TRUE(segments(readFile(file), 0xFE).empty());

    // A turn keeps the file's date to the nanosecond and its permissions; with a new comment, all markers but
    // the old comments (copying them all is the jpegtran comparison above).
    const struct timespec past[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
    const std::string reference = dir.file("ref.jpg");
    ASSERT_TRUE(writeFile(file, makePicture(source, 64, 48, "-sample 2x2")));
    chmod(file.c_str(), 0640);
    utimensat(AT_FDCWD, file.c_str(), past, 0);
    oxJpegHandler::transform(file, transformOf(2), oxJpegHandler::COPY_ALL_BUT_COMMENTS);
    EXPECT_EQ(std::tuple(statOf(file).st_mtim.tv_sec, statOf(file).st_mtim.tv_nsec, statOf(file).st_mode & 07777),
              std::tuple(1000000000, 123456789, 0640u));
    // jpegtran has no option for all but comments: its "all" without them.
    ASSERT_EQ(runCommand("jpegtran -rotate 180 -copy all -outfile " + reference + " " + source), 0);
    auto expected = segments(readFile(reference), APP_AND_COM);
    std::erase_if(expected, [](const Segment& s) { return s.marker == 0xFE; });
    EXPECT_EQ(segments(readFile(file), APP_AND_COM), expected);

    // Failures leave the file.
    EXPECT_EQ(imageError([&] { transform(dir.file("missing.jpg"), transformOf(1)); }),
              "JPEG transformation: can't open input file. (No such file or directory)");
    const auto failure = [&](const std::string& bytes, const oxImageTransform& t) { // untouched, not rewritten
        const struct timespec past[2] = {{1000000000, 5}, {1000000000, 5}};
        EXPECT_TRUE(writeFile(file, bytes) && utimensat(AT_FDCWD, file.c_str(), past, 0) == 0);
        const std::string message = imageError([&] { transform(file, t); });
        EXPECT_TRUE(readFile(file) == bytes && statOf(file).st_mtim.tv_nsec == 5);
        return message;
    };
    EXPECT_NE(failure(makePicture(file, 70, 45, "-sample 2x2"), transformOf(1)), ""); // edge blocks to trim
    const std::string whole = makePicture(file, 64, 48, "-sample 2x2");
    EXPECT_EQ(failure(whole.substr(0, whole.size() - 200), transformOf(1)),
              "The file is damaged (the file ends early) and is not rewritten.");
    EXPECT_EQ(failure("not a JPEG file", transformOf(0, "x")), "JPEG transformation failed.");
    // 32 × 8 grey, written through the library's coefficient interface, whose DC terms climb by
    // 800 per block: it decodes (each difference is small), but turned, the first block's
    // difference would no longer fit the format.
    const std::string climbing = readFile(OX_TEST_DATA_DIR "/regressions/jpeg-dc-climbs-800-per-block.jpg");
    ASSERT_TRUE(writeFile(file, climbing));
    EXPECT_EQ(load(file)->size(), oxSize(32, 8));
    for (int rotation = 0; rotation <= 3; ++rotation)
        EXPECT_EQ(failure(climbing, transformOf(rotation, "x")),
                  "The file is damaged (corrupt data) and is not rewritten.");
    // A user's own "<name>.tmp" is never touched.
    ASSERT_TRUE(writeFile(file, whole));
    ASSERT_TRUE(writeFile(file + ".tmp", "the user's file"));
    transform(file, transformOf(2));
    EXPECT_EQ(readFile(file + ".tmp"), "the user's file");
    EXPECT_EQ(folderEntries(dir.path()),
              (std::vector<std::string>{"ours.jpg", "p.jpg", "p.jpg.tmp", "ref.jpg", "source.jpg", "theirs.jpg"}));
}

