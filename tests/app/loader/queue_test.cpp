#include "app/loadercommands.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

LoaderCommand command(int kind, const std::string& name, bool thumbnail = false)
{
    LoaderCommand c;
    c.kind = kind;
    c.name = name;
    c.thumbnail = thumbnail;
    return c;
}

std::vector<std::string> names(const LoaderCommandQueue& q)
{
    static const char* kinds[] = {"unload", "load", "transform", "convert", "copymove"};
    std::vector<std::string> out;
    for (const LoaderCommand& c : q.commands())
        out.push_back(std::string(kinds[c.kind]) + (c.thumbnail ? "T:" : ":") + c.name);
    return out;
}

using Names = std::vector<std::string>;

} // namespace

TEST(LoaderCommandQueue, NewestLoadOrUnloadOfAPictureReplacesTheOlder)
{
    LoaderCommandQueue q;
    EXPECT_EQ(q.enqueue(command(CMD_LOAD, "/a.jpg"), false), 0u);
    q.enqueue(command(CMD_LOAD, "/b.jpg"), false);
    EXPECT_EQ(q.enqueue(command(CMD_UNLOAD, "/a.jpg"), false), 1u);
    EXPECT_EQ(names(q), (Names{"load:/b.jpg", "unload:/a.jpg"}));

    // The thumbnail set and the full pictures are separate; names compare
    // exactly, case included.
    q.enqueue(command(CMD_LOAD, "/a.jpg", true), false);
    q.enqueue(command(CMD_LOAD, "/A.jpg"), false);
    EXPECT_EQ(names(q), (Names{"load:/b.jpg", "unload:/a.jpg", "loadT:/a.jpg", "load:/A.jpg"}));

    // An urgent one replaces too, and goes to the front.
    EXPECT_EQ(q.enqueue(command(CMD_LOAD, "/b.jpg"), true), 1u);
    EXPECT_EQ(names(q), (Names{"load:/b.jpg", "unload:/a.jpg", "loadT:/a.jpg", "load:/A.jpg"}));
    EXPECT_EQ(q.enqueue(command(CMD_LOAD, "/A.jpg"), true), 1u);
    EXPECT_EQ(names(q).front(), "load:/A.jpg");
    EXPECT_EQ(q.size(), 4u);
}

TEST(LoaderCommandQueue, FileOperationsAreNeverReplacedAndReplaceNothing)
{
    LoaderCommandQueue q;
    q.enqueue(command(CMD_TRANSFORM, "/a.jpg"), true);
    q.enqueue(command(CMD_LOAD, "/a.jpg"), false);
    // A second rotation must rotate again; a prefetch or unload must not
    // wipe out a rotation, conversion or move.
    EXPECT_EQ(q.enqueue(command(CMD_TRANSFORM, "/a.jpg"), true), 0u);
    EXPECT_EQ(q.enqueue(command(CMD_CONVERT, "/a.jpg"), true), 0u);
    EXPECT_EQ(q.enqueue(command(CMD_COPY_MOVE, "/a.jpg"), true), 0u);
    EXPECT_EQ(q.enqueue(command(CMD_UNLOAD, "/a.jpg"), false), 1u);
    // Urgent file operations keep the order they were given in.
    EXPECT_EQ(names(q), (Names{"transform:/a.jpg", "transform:/a.jpg", "convert:/a.jpg", "copymove:/a.jpg",
                               "unload:/a.jpg"}));
    // An urgent load still goes before everything.
    q.enqueue(command(CMD_LOAD, "/b.jpg"), true);
    q.enqueue(command(CMD_CONVERT, "/b.jpg"), true);
    EXPECT_EQ(names(q), (Names{"load:/b.jpg", "transform:/a.jpg", "transform:/a.jpg", "convert:/a.jpg",
                               "copymove:/a.jpg", "convert:/b.jpg", "unload:/a.jpg"}));
    EXPECT_EQ(q.dropLoadsAndUnloads(), 2u);
    EXPECT_EQ(q.size(), 5u);
    EXPECT_EQ(q.takeFront()->kind, CMD_TRANSFORM);
}

TEST(LoaderCommandQueue, RemovalsKeepOrderAndLaterReplacementsRight)
{
    LoaderCommandQueue q;
    for (const char* n : {"/1", "/2", "/3", "/4"})
        q.enqueue(command(CMD_LOAD, n, true), false);
    q.enqueue(command(CMD_UNLOAD, "/5", true), true);
    q.enqueue(command(CMD_UNLOAD, "/5"), false);
    EXPECT_TRUE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/1", true)); // a load is not an unload
    q.enqueue(command(CMD_LOAD, "/1"), false);
    EXPECT_EQ(q.dropLoadsUnless(true, [](const std::string& n) { return n == "/2" || n == "/4"; }), 2u);
    EXPECT_EQ(q.dropLoadsUnless(false, [](const std::string&) { return false; }), 1u);
    EXPECT_EQ(names(q), (Names{"loadT:/2", "loadT:/4", "unload:/5"}));
    EXPECT_TRUE(q.hasLoad("/2", true));
    EXPECT_FALSE(q.hasLoad("/1", true));
    EXPECT_FALSE(q.hasLoad("/2", false));

    // Commands taken out or dropped are forgotten: a new one for the same
    // picture replaces nothing, one still queued is replaced.
    EXPECT_EQ(q.takeFront()->name, "/2");
    EXPECT_EQ(q.enqueue(command(CMD_UNLOAD, "/2", true), false), 0u);
    EXPECT_EQ(q.enqueue(command(CMD_LOAD, "/1", true), false), 0u);
    EXPECT_EQ(q.enqueue(command(CMD_UNLOAD, "/4", true), false), 1u);
    EXPECT_EQ(names(q), (Names{"unload:/5", "unloadT:/2", "loadT:/1", "unloadT:/4"}));
    while (q.takeFront()) {
    }
    EXPECT_TRUE(q.empty());
    EXPECT_FALSE(q.takeFront().has_value());
    EXPECT_EQ(q.enqueue(command(CMD_LOAD, "/4", true), false), 0u);
}

TEST(ConversionSize, PercentagesSizesAndAspectRatio)
{
    // -50 and 0 halve both sides.
    EXPECT_EQ(conversionSide(4000, -50, 3000, 0), 2000);
    EXPECT_EQ(conversionSide(3000, 0, 4000, -50), 1500);
    // 800 and 0 keep the aspect ratio.
    EXPECT_EQ(conversionSide(4000, 800, 3000, 0), 800);
    EXPECT_EQ(conversionSide(3000, 0, 4000, 800), 600);
    // 0 and 0 keep the size; both given: both taken as they are.
    EXPECT_EQ(conversionSide(4000, 0, 3000, 0), 4000);
    EXPECT_EQ(conversionSide(4000, 640, 3000, 480), 640);
    // Integer division: 333 x 3 at 50 % gives 166 x 1.
    EXPECT_EQ(conversionSide(333, -50, 3, -50), 166);
    EXPECT_EQ(conversionSide(3, -50, 333, -50), 1);
    // Extreme requests neither overflow nor wrap round to small sizes.
    EXPECT_EQ(conversionSide(60000, INT_MIN, 60000, 0), INT_MAX);
    EXPECT_EQ(conversionSide(60000, 0, 1, INT_MAX), INT_MAX);
    EXPECT_EQ(conversionSide(1, -1, 1, 0), 0); // the caller refuses it
}
