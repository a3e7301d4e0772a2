#include "jpegtest.h"

#include "childprocess.h"
#include "oxengine/errors.h"
#include "oxengine/image/replacefile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include <jpeglib.h>

using namespace jpegtest;

namespace {

oxImageTransform rotation(int turns)
{
    oxImageTransform t;
    t.rotation = turns;
    return t;
}

oxImageTransform newComment(const std::string& text, int turns = 0)
{
    oxImageTransform t = rotation(turns);
    t.setComment = true;
    t.comment = text;
    return t;
}

void transform(const std::string& file, const oxImageTransform& t)
{
    oxJpegHandler().transformFile(file, t);
}

std::vector<Segment> sourceMarkers()
{
    return {exifSegment(), {0xFE, "first comment"}, iccSegment(), {0xFE, "second comment"}};
}

// A test picture with Exif, ICC and two comments.
std::string makePicture(const std::string& path, uint32_t w, uint32_t h, const std::string& options, int channels,
                        bool jfif = true)
{
    if (!makeJpeg(path, w, h, options, channels))
        return std::string();
    const std::string jpeg = withSegments(readFile(path), sourceMarkers(), !jfif);
    return writeFile(path, jpeg) ? jpeg : std::string();
}

struct timespec modificationTime(const std::string& path)
{
    struct stat st{};
    stat(path.c_str(), &st);
    return st.st_mtim;
}

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void setOldTime(const std::string& path)
{
    const struct timespec times[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A grey 32 x 8 file whose blocks' DC terms climb by 800: a valid stream
// (each difference is small), but the terms leave the range of 8-bit data.
// Turned, the first block's difference no longer fits the format.
bool writeOutOfRangeCoefficients(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = 32;
    info.image_height = 8;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jvirt_barray_ptr arrays[1];
    arrays[0] = (*info.mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, TRUE, 4, 1, 1);
    (*info.mem->realize_virt_arrays)(reinterpret_cast<j_common_ptr>(&info));
    JBLOCKROW row = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info), arrays[0], 0, 1, TRUE)[0];
    for (int x = 0; x < 4; ++x)
        row[x][0] = JCOEF(x * 800);
    jpeg_write_coefficients(&info, arrays);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(f) == 0;
}

} // namespace

// Every rotation of every kind of picture against jpegtran: the same pixels
// and the same APP and COM markers, or, where jpegtran would have to trim
// edge blocks, a refusal that leaves the file as it was.
TEST(JpegTransform, MatchesJpegtranForEveryRotation)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    struct Picture {
        const char* sampling;
        int channels;
        int mcu; // the MCU edge in pixels: the multiple a refusal names
        uint32_t w, h;
    };
    const Picture pictures[] = {
        {"-sample 1x1", 3, 8, 64, 48}, {"-sample 1x1", 3, 8, 61, 43}, {"-sample 2x1", 3, 16, 64, 40},
        {"-sample 2x1", 3, 16, 70, 45}, {"-sample 2x2", 3, 16, 64, 48}, {"-sample 2x2", 3, 16, 48, 40},
        {"-sample 2x2", 3, 16, 70, 45}, {"-grayscale", 1, 8, 64, 40}, {"-grayscale", 1, 8, 61, 43},
        {"-sample 1x2", 3, 16, 40, 64},
    };
    int perfect = 0, refused = 0;
    for (const Picture& p : pictures) {
        for (const char* coding : {"", " -progressive", " -restart 1", " -optimize"}) {
            const std::string options = std::string(p.sampling) + coding;
            const bool jfif = std::string(coding) != " -optimize"; // and one kind without JFIF, Exif first
            const std::string source = dir.file("source.jpg");
            const std::string original = makePicture(source, p.w, p.h, options, p.channels, jfif);
            ASSERT_FALSE(original.empty()) << options;
            for (int turns = 1; turns <= 3; ++turns) {
                SCOPED_TRACE(options + " " + std::to_string(p.w) + "x" + std::to_string(p.h) + " rotated " +
                             std::to_string(turns));
                const std::string ours = dir.file("ours.jpg"), reference = dir.file("reference.jpg");
                ASSERT_TRUE(writeFile(ours, original));
                const bool isPerfect =
                    runCommand("jpegtran -perfect -copy all -rotate " + std::to_string(turns * 90) + " -outfile " +
                               quote(reference) + " " + quote(source) + " 2>/dev/null") == 0;
                const std::string error = imageError([&] { transform(ours, rotation(turns)); });
                if (isPerfect) {
                    ++perfect;
                    EXPECT_EQ(error, "");
                    const std::string pixels = djpeg(ours);
                    EXPECT_FALSE(pixels.empty());
                    EXPECT_TRUE(pixels == djpeg(reference)) << "pixels differ from jpegtran's";
                    EXPECT_EQ(appAndCommentSegments(readFile(ours)), appAndCommentSegments(readFile(reference)));
                    EXPECT_EQ(segmentsOf(headerSegments(readFile(ours)), 0xE1),
                              std::vector<Segment>{exifSegment()});
                } else {
                    ++refused;
                    EXPECT_EQ(error, "JPEG transformation requires that the image dimensions can be divided by " +
                                         std::to_string(p.mcu) + ".");
                    EXPECT_TRUE(readFile(ours) == original);
                }
            }
        }
    }
    EXPECT_GT(perfect, 40);
    EXPECT_GT(refused, 30);
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"ours.jpg", "reference.jpg", "source.jpg"}));
}

TEST(JpegTransform, TurnsClockwise)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("turn.jpg");
    ASSERT_TRUE(makeJpeg(file, 64, 48, "-sample 1x1 -quality 100"));
    auto before = load(file);
    for (int turns = 1; turns <= 3; ++turns) {
        transform(file, rotation(1));
        auto after = load(file);
        auto expected = before->rotatedCopy(turns);
        ASSERT_EQ(after->size(), expected->size());
        // Not bit-exact (the inverse DCT rounds differently on turned
        // blocks), but close everywhere.
        const auto* e = static_cast<const oxImageUInt8*>(expected.get());
        int worst = 0;
        for (uint32_t y = 0; y < after->height(); ++y)
            for (uint32_t x = 0; x < after->width(); ++x)
                worst = std::max({worst, std::abs(after->at(x, y).r - e->at(x, y).r),
                                  std::abs(after->at(x, y).b - e->at(x, y).b)});
        EXPECT_LE(worst, 3) << turns;
    }
}

TEST(JpegTransform, RefusedTurnsLeaveTheFileUntouched)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("1000x750.jpg");
    const std::string original = makePicture(file, 1000, 750, "-sample 2x2", 3);
    ASSERT_FALSE(original.empty());
    setOldTime(file);
    for (int turns = 1; turns <= 3; ++turns) {
        EXPECT_EQ(imageError([&] { transform(file, rotation(turns)); }),
                  "JPEG transformation requires that the image dimensions can be divided by 16.");
        EXPECT_TRUE(readFile(file) == original);
    }
    EXPECT_TRUE(sameTime(modificationTime(file), {1000000000, 123456789}));
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"1000x750.jpg"});
}

TEST(JpegTransform, RotationKeepsDatePermissionsAndAppMarkers)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("1024x768.jpg");
    const std::string original = makePicture(file, 1024, 768, "-sample 2x2", 3);
    ASSERT_FALSE(original.empty());
    chmod(file.c_str(), 0640);
    setOldTime(file);
    oxFilename::initialize("test");
    const double date = oxFilename(file).modificationDate();
    const std::string pixels = djpeg(file);

    transform(file, rotation(1));
    const std::string rotated = readFile(file);
    auto image = load(file);
    EXPECT_EQ(image->size(), oxSize(768, 1024));
    EXPECT_EQ(image->comment(), "first commentsecond comment");
    EXPECT_EQ(appAndCommentSegments(rotated), appAndCommentSegments(original));
    EXPECT_TRUE(sameTime(modificationTime(file), {1000000000, 123456789}));
    EXPECT_EQ(oxFilename(file).modificationDate(), date);
    struct stat st{};
    stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"1024x768.jpg"});

    // Four quarter turns give the original pixels back.
    for (int i = 0; i < 3; ++i)
        transform(file, rotation(1));
    EXPECT_TRUE(djpeg(file) == pixels);
}

TEST(JpegTransform, CommentOnlyRewriteIsLossless)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("c.jpg");
    for (const char* options : {"-sample 2x2", "-sample 2x1 -progressive", "-grayscale"}) {
        const std::string original = makePicture(file, 70, 45, options, std::string(options) == "-grayscale" ? 1 : 3);
        ASSERT_FALSE(original.empty());
        const std::string pixels = djpeg(file);
        transform(file, newComment("the new comment"));
        const std::string rewritten = readFile(file);
        EXPECT_EQ(djpeg(file), pixels) << options;
        const auto markers = appAndCommentSegments(rewritten);
        EXPECT_EQ(segmentsOf(markers, 0xFE), (std::vector<Segment>{{0xFE, "the new comment"}}));
        EXPECT_EQ(segmentsOf(markers, 0xE1), std::vector<Segment>{exifSegment()});
        EXPECT_EQ(segmentsOf(markers, 0xE2), std::vector<Segment>{iccSegment()});
        EXPECT_EQ(load(file)->comment(), "the new comment");
    }
    // An empty comment removes every comment; a long one spans markers.
    transform(file, newComment(""));
    EXPECT_TRUE(segmentsOf(headerSegments(readFile(file)), 0xFE).empty());
    const std::string longComment(140000, 'x');
    transform(file, newComment(longComment));
    EXPECT_EQ(segmentsOf(headerSegments(readFile(file)), 0xFE).size(), 3u);
    EXPECT_EQ(load(file)->comment(), longComment);
    // Nothing to do: the file is not even rewritten.
    const std::string before = readFile(file);
    setOldTime(file);
    transform(file, rotation(0));
    transform(file, rotation(4));
    EXPECT_TRUE(readFile(file) == before);
}

TEST(JpegTransform, MarkerCopyOptions)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string source = dir.file("source.jpg"), file = dir.file("m.jpg"), reference = dir.file("ref.jpg");
    const std::string original = makePicture(source, 64, 48, "-sample 2x2", 3);
    ASSERT_FALSE(original.empty());
    const auto markersAfter = [&](oxJpegHandler::MarkerCopy option) {
        EXPECT_TRUE(writeFile(file, original));
        oxJpegHandler::transform(file, rotation(2), option);
        return appAndCommentSegments(readFile(file));
    };
    const auto jpegtranMarkers = [&](const char* copy) {
        EXPECT_EQ(runCommand(std::string("jpegtran -rotate 180 -copy ") + copy + " -outfile " + quote(reference) +
                             " " + quote(source)),
                  0);
        return appAndCommentSegments(readFile(reference));
    };
    EXPECT_EQ(markersAfter(oxJpegHandler::COPY_NONE), jpegtranMarkers("none"));
    EXPECT_EQ(markersAfter(oxJpegHandler::COPY_COMMENTS), jpegtranMarkers("comments"));
    EXPECT_EQ(markersAfter(oxJpegHandler::COPY_ALL), jpegtranMarkers("all"));
    std::vector<Segment> withoutComments;
    for (const Segment& s : jpegtranMarkers("all"))
        if (s.marker != 0xFE)
            withoutComments.push_back(s);
    EXPECT_EQ(markersAfter(oxJpegHandler::COPY_ALL_BUT_COMMENTS), withoutComments);
}

TEST(JpegTransform, FailuresLeaveTheFileAndNoTemporaryFile)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    EXPECT_EQ(imageError([&] { transform(dir.file("missing.jpg"), rotation(1)); }),
              "JPEG transformation: can't open input file.");
    const std::string file = dir.file("cut.jpg");
    const std::string whole = makePicture(file, 64, 48, "-sample 2x2", 3);
    ASSERT_TRUE(writeFile(file, whole.substr(0, whole.size() - 200)));
    const std::string cut = readFile(file);
    EXPECT_EQ(imageError([&] { transform(file, rotation(1)); }), "JPEG transformation failed.");
    EXPECT_TRUE(readFile(file) == cut);
    ASSERT_TRUE(writeFile(file, "not a JPEG file"));
    EXPECT_EQ(imageError([&] { transform(file, newComment("x")); }), "JPEG transformation failed.");
    EXPECT_EQ(readFile(file), "not a JPEG file");
    // A user's own "<name>.tmp" is never touched.
    ASSERT_TRUE(writeFile(file, whole));
    ASSERT_TRUE(writeFile(file + ".tmp", "the user's file"));
    transform(file, rotation(2));
    EXPECT_EQ(readFile(file + ".tmp"), "the user's file");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"cut.jpg", "cut.jpg.tmp"}));
}

TEST(JpegTransform, AFullDiskLeavesTheFile)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("big.jpg");
    const std::string original = makePicture(file, 256, 256, "-sample 1x1 -quality 95", 3);
    ASSERT_GT(original.size(), 20000u);
    const int code = runInChild([&] {
        const struct rlimit limit = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = imageError([&] { transform(file, rotation(1)); });
        return message == "JPEG transformation failed. (" + oxSystemErrorText(EFBIG) + ")" ? 0 : 10;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(readFile(file) == original);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"big.jpg"});
}

// Replacing fails where the folder lets a user write a file but not replace
// it (a shared folder with the sticky bit, the file another user's): the
// file stays as it was and the temporary file is removed.
TEST(JpegTransform, AFailingReplaceLeavesTheFileAndRemovesTheTemporaryFile)
{
    REQUIRE_JPEG_TOOLS();
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the picture to another user";
    TempDir dir;
    allowOthersToEnter(dir.path());
    const std::string shared = dir.file("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    chmod(shared.c_str(), 01777);
    const std::string file = shared + "/p.jpg";
    const std::string original = makePicture(file, 64, 48, "-sample 2x2", 3);
    ASSERT_FALSE(original.empty());
    chmod(file.c_str(), 0666);

    const int code = runInChild(
        [&] {
            const std::string message = imageError([&] { transform(file, rotation(1)); });
            return message.rfind("Cannot replace file after successfully transforming it (", 0) == 0 ? 0 : 10;
        },
        true);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(readFile(file) == original);
    EXPECT_EQ(folderEntries(shared), std::vector<std::string>{"p.jpg"});

    // A folder the user cannot write to: not even a temporary file.
    chmod(shared.c_str(), 0755);
    const int readOnly = runInChild(
        [&] {
            const std::string message = imageError([&] { transform(file, rotation(1)); });
            return message.rfind("JPEG transformation: can't open temporary file. (", 0) == 0 ? 0 : 10;
        },
        true);
    EXPECT_EQ(readOnly, 0);
    EXPECT_TRUE(readFile(file) == original);
}

TEST(JpegTransform, ASymlinkStaysALink)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string real = dir.file("real.jpg"), link = dir.file("link.jpg");
    ASSERT_FALSE(makePicture(real, 64, 48, "-sample 2x2", 3).empty());
    ASSERT_EQ(symlink("real.jpg", link.c_str()), 0);
    transform(link, rotation(1));
    struct stat st{};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(load(real)->size(), oxSize(48, 64));
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"link.jpg", "real.jpg"}));
}

TEST(JpegTransform, RefusesCoefficientsNoPictureHas)
{
    TempDir dir;
    const std::string file = dir.file("climb.jpg");
    ASSERT_TRUE(writeOutOfRangeCoefficients(file));
    const std::string original = readFile(file);
    EXPECT_EQ(load(file)->size(), oxSize(32, 8)); // it decodes, to nonsense
    for (int turns = 1; turns <= 3; ++turns) {
        EXPECT_EQ(imageError([&] { transform(file, rotation(turns)); }), "JPEG transformation failed.");
        EXPECT_TRUE(readFile(file) == original);
    }
    EXPECT_EQ(imageError([&] { transform(file, newComment("x")); }), "JPEG transformation failed.");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"climb.jpg"});
}
