#include "loadertest.h"

#include "app/loader/loadercommands.h"

#include <climits>

namespace {

using Names = std::vector<std::string>;

struct Queue : LoaderCommandQueue {
    size_t add(int kind, const std::string& name, bool urgent = false, bool thumbnail = false)
    {
        LoaderCommand c;
        c.kind = kind;
        c.name = name;
        c.thumbnail = thumbnail;
        return enqueue(c, urgent);
    }
    Names names() const { return describe(commands()); }
};

} // namespace

TEST(LoaderCommandQueue, LoadsAndUnloadsReplaceEachOtherButFileOperationsStay)
{
    Queue q;
    q.add(CMD_LOAD, "/a");
    q.add(CMD_LOAD, "/b");
    q.add(CMD_LOAD, "/a", false, true); // the thumbnail set is separate
    q.add(CMD_LOAD, "/A");              // names compare exactly
    EXPECT_EQ(q.add(CMD_UNLOAD, "/a"), 1u);
    EXPECT_EQ(q.add(CMD_LOAD, "/b", true), 1u);
    EXPECT_EQ(q.names(), (Names{"load:/b", "loadT:/a", "load:/A", "unload:/a"}));

    // A prefetch or unload never wipes out a rotation, and a second rotation
    // rotates again; urgent file operations keep their order, urgent loads
    // still go first.
    Queue f;
    f.add(CMD_TRANSFORM, "/a", true);
    f.add(CMD_LOAD, "/a");
    EXPECT_EQ(f.add(CMD_TRANSFORM, "/a", true), 0u);
    f.add(CMD_CONVERT, "/a", true);
    f.add(CMD_COPY_MOVE, "/a", true);
    EXPECT_EQ(f.add(CMD_UNLOAD, "/a"), 1u);
    f.add(CMD_LOAD, "/b", true);
    EXPECT_EQ(f.names(), (Names{"load:/b", "transform:/a", "transform:/a", "convert:/a", "copymove:/a", "unload:/a"}));
    EXPECT_EQ(f.dropLoadsAndUnloads(), 2u);
    EXPECT_EQ(f.takeFront()->kind, CMD_TRANSFORM);
}

TEST(LoaderCommandQueue, RemovalsKeepOrderAndAreForgotten)
{
    Queue q;
    for (const char* n : {"/1", "/2", "/3", "/4"})
        q.add(CMD_LOAD, n, false, true);
    q.add(CMD_UNLOAD, "/5", true, true);
    q.add(CMD_LOAD, "/6");
    EXPECT_TRUE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/1", true)); // a load is no unload
    EXPECT_EQ(q.dropLoadsUnless(true, [](const std::string& n) { return n == "/2" || n == "/4"; }), 2u);
    EXPECT_EQ(q.names(), (Names{"loadT:/2", "loadT:/4", "load:/6"}));
    EXPECT_TRUE(q.hasLoad("/2", true));
    EXPECT_FALSE(q.hasLoad("/2", false));
    // Taken out or dropped: a new command replaces nothing; still queued: replaced.
    EXPECT_EQ(q.takeFront()->name, "/2");
    EXPECT_EQ(q.add(CMD_UNLOAD, "/2", false, true), 0u);
    EXPECT_EQ(q.add(CMD_LOAD, "/1", false, true), 0u);
    EXPECT_EQ(q.add(CMD_UNLOAD, "/4", false, true), 1u);
    EXPECT_EQ(q.names(), (Names{"load:/6", "unloadT:/2", "loadT:/1", "unloadT:/4"}));
}

TEST(ConversionSize, PercentagesSizesAndAspectRatio)
{
    EXPECT_EQ(conversionSide(4000, -50, 3000, 0), 2000); // -50, 0 halves both
    EXPECT_EQ(conversionSide(3000, 0, 4000, -50), 1500);
    EXPECT_EQ(conversionSide(3000, 0, 4000, 800), 600); // 800, 0 keeps the aspect ratio
    EXPECT_EQ(conversionSide(4000, 0, 3000, 0), 4000);  // 0, 0 keeps the size
    EXPECT_EQ(conversionSide(3, -50, 333, -50), 1);     // integer division
    // Extreme requests neither overflow nor wrap round to small sizes.
    EXPECT_EQ(conversionSide(60000, INT_MIN, 60000, 0), INT_MAX);
    EXPECT_EQ(conversionSide(60000, 0, 1, INT_MAX), INT_MAX);
}
