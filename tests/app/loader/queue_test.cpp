#include "loadertest.h"

#include "app/loader/loadercommands.h"

#include <climits>

namespace {

using Names = std::vector<std::string>;

struct Queue : LoaderCommandQueue {
    void load(const std::string& name, bool urgent = false, bool thumbnail = false)
    {
        enqueue(LoadCommand{.name = name, .thumbnail = thumbnail, .urgent = urgent});
    }
    void unload(const std::string& name, bool urgent = false, bool thumbnail = false)
    {
        enqueue(UnloadCommand{.name = name, .thumbnail = thumbnail, .urgent = urgent});
    }
    template <class Operation> void operation(const std::string& name)
    {
        Operation c;
        c.name = name;
        enqueue(c);
    }
    Names names() const
    {
        Names out;
        for (const LoaderCommand& c : commands())
            out.push_back(describe(c));
        return out;
    }
};

} // namespace

TEST(LoaderCommandQueue, LoadsAndUnloadsReplaceEachOtherButFileOperationsStay)
{
    Queue q;
    q.load("/a");
    q.load("/b");
    q.load("/a", false, true); // the thumbnail set is separate
    q.load("/A");              // names compare exactly
    q.unload("/a");
    q.load("/b", true);
    EXPECT_EQ(q.names(), (Names{"load:/b", "loadT:/a", "load:/A", "unload:/a"}));
    EXPECT_EQ(q.queuedCount(), 4); // replaced ones are not counted twice

    // A load or unload never replaces a file operation; those keep their order, urgent loads go first.
    Queue f;
    f.operation<TransformCommand>("/a");
    f.load("/a");
    f.operation<TransformCommand>("/a");
    f.operation<ConvertCommand>("/a");
    f.operation<CopyMoveCommand>("/a");
    f.unload("/a");
    f.load("/b", true);
    EXPECT_EQ(f.names(), (Names{"load:/b", "transform:/a", "transform:/a", "convert:/a", "copymove:/a", "unload:/a"}));
    f.dropLoadsAndUnloads();
    EXPECT_EQ(f.queuedCount(), 4);
    EXPECT_TRUE(std::holds_alternative<TransformCommand>(*f.takeFront()));
}

TEST(LoaderCommandQueue, RemovalsKeepOrderAndAreForgotten)
{
    Queue q;
    for (const char* n : {"/1", "/2", "/3", "/4"})
        q.load(n, false, true);
    q.unload("/5", true, true);
    q.load("/6");
    EXPECT_TRUE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/5", true));
    EXPECT_FALSE(q.cancelUnload("/1", true)); // a load is no unload
    q.dropLoadsUnless(true, [](const std::string& n) { return n == "/2" || n == "/4"; });
    EXPECT_EQ(q.names(), (Names{"loadT:/2", "loadT:/4", "load:/6"}));
    EXPECT_EQ(q.queuedCount(), 3);
    EXPECT_TRUE(q.hasLoad("/2", true));
    EXPECT_FALSE(q.hasLoad("/2", false));
    // Taken out or dropped: a new command replaces nothing; still queued: replaced.
    EXPECT_EQ(commandFile(*q.takeFront()), "/2");
    q.unload("/2", false, true);
    q.load("/1", false, true);
    q.unload("/4", false, true);
    EXPECT_EQ(q.names(), (Names{"load:/6", "unloadT:/2", "loadT:/1", "unloadT:/4"}));
    EXPECT_EQ(q.queuedCount(), 5);

    // The counters start again only once the queue has run empty.
    q.markDone();
    EXPECT_FALSE(q.resetCountersWhenEmpty());
    while (q.takeFront())
        q.markDone();
    EXPECT_EQ(q.doneCount(), 5);
    EXPECT_TRUE(q.resetCountersWhenEmpty());
    EXPECT_EQ(q.queuedCount() + q.doneCount(), 0);
    EXPECT_FALSE(q.resetCountersWhenEmpty());
}

TEST(ConversionSize, PercentagesSizesAndAspectRatio)
{
    EXPECT_EQ(conversionSide(3000, 0, 4000, 800), 600); // 800, 0 keeps the aspect ratio
    EXPECT_EQ(conversionSide(4000, 0, 3000, 0), 4000);  // 0, 0 keeps the size
    EXPECT_EQ(conversionSide(3, -50, 333, -50), 1);     // integer division
    // Extreme requests neither overflow nor wrap round to small sizes.
    EXPECT_EQ(conversionSide(60000, INT_MIN, 60000, 0), INT_MAX);
    EXPECT_EQ(conversionSide(60000, 0, 1, INT_MAX), INT_MAX);
}
