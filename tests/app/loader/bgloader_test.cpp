// The background loader's command queue, records and threads, with a preparation without GL (ThreadSanitizer
// runs this).
#include "loadertest.h"

#include "app/loader/loadercommands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <sys/stat.h>

namespace {

// The loader thread never opens a box, in any test of this program.
class NoBoxFromTheLoaderThread : public testing::Environment {
    void SetUp() override { m_boxes = std::make_unique<MessageCapture>(); }
    void TearDown() override
    {
        for (std::thread::id thread : m_boxes->threads())
            EXPECT_EQ(thread, m_main) << m_boxes->texts();
        m_boxes.reset();
    }
    std::unique_ptr<MessageCapture> m_boxes;
    std::thread::id m_main = std::this_thread::get_id();
};
testing::Environment* const g_noBox = testing::AddGlobalTestEnvironment(new NoBoxFromTheLoaderThread);

using Names = std::vector<std::string>;

Names sorted(Names v)
{
    std::sort(v.begin(), v.end());
    return v;
}

bool contains(const Names& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}


} // namespace

TEST(LoaderCommandQueue, LoadsAndUnloadsReplaceEachOtherFileOperationsStayRemovalsAreForgotten)
{
    const auto names = [](const LoaderCommandQueue& queue) { return describe(queue.commands()); };
    LoaderCommandQueue q;
    q.enqueue(LoadCommand{.name = "/a"});
    q.enqueue(LoadCommand{.name = "/b"});
    q.enqueue(LoadCommand{.name = "/a", .thumbnail = true}); // the thumbnail set is separate
    q.enqueue(LoadCommand{.name = "/A"});                    // names compare exactly
    q.enqueue(UnloadCommand{.name = "/a"});
    q.enqueue(LoadCommand{.name = "/b", .urgent = true});
    EXPECT_EQ(names(q), (Names{"load:/b", "loadT:/a", "load:/A", "unload:/a"}));
    EXPECT_EQ(q.queuedCount(), 4); // replaced ones are not counted twice

    // A load or unload never replaces a file operation; those keep their order, urgent loads go first (dropped
    // at shut-down: the shut-down test).
    const auto onA = [](auto operation) { return operation.name = "/a", operation; };
    LoaderCommandQueue f;
    f.enqueue(onA(TransformCommand()));
    f.enqueue(LoadCommand{.name = "/a"});
    f.enqueue(onA(TransformCommand()));
    f.enqueue(onA(ConvertCommand()));
    f.enqueue(onA(CopyMoveCommand()));
    f.enqueue(UnloadCommand{.name = "/a"});
    f.enqueue(LoadCommand{.name = "/b", .urgent = true});
    EXPECT_EQ(names(f), (Names{"load:/b", "transform:/a", "transform:/a", "convert:/a", "copymove:/a", "unload:/a"}));

    // Removals keep the order and are forgotten.
    LoaderCommandQueue r;
    for (const char* n : {"/1", "/2", "/3", "/4"})
        r.enqueue(LoadCommand{.name = n, .thumbnail = true});
    r.enqueue(UnloadCommand{.name = "/5", .thumbnail = true, .urgent = true});
    r.enqueue(LoadCommand{.name = "/6"});
    EXPECT_TRUE(r.cancelUnload("/5", true));
    EXPECT_FALSE(r.cancelUnload("/5", true));
    EXPECT_FALSE(r.cancelUnload("/1", true)); // a load is no unload
    r.dropLoadsUnless(true, [](const std::string& n) { return n == "/2" || n == "/4"; });
    EXPECT_EQ(names(r), (Names{"loadT:/2", "loadT:/4", "load:/6"}));
    EXPECT_TRUE(r.hasLoad("/2", true));
    EXPECT_FALSE(r.hasLoad("/2", false));
    // Taken out or dropped: a new command replaces nothing; still queued: replaced.
    EXPECT_EQ(commandFile(*r.takeFront()), "/2");
    r.enqueue(UnloadCommand{.name = "/2", .thumbnail = true});
    r.enqueue(LoadCommand{.name = "/1", .thumbnail = true});
    r.enqueue(UnloadCommand{.name = "/4", .thumbnail = true});
    EXPECT_EQ(names(r), (Names{"load:/6", "unloadT:/2", "loadT:/1", "unloadT:/4"}));
    EXPECT_EQ(r.queuedCount(), 5);
}

TEST(BGTextureLoader, AcquirePrefetchesTheNeighboursAndUnloadsEveryOtherPictureNotInUseNeverOneInUse)
{
    LoaderRig rig(LoaderRig::numbered(10, "/p/"));
    const Names& l = rig.list;
    LoadedPicture* p2 = rig.loader->awaitPicture(l[2]); // cold; stays in use
    ASSERT_NE(p2, nullptr);
    ASSERT_TRUE(rig.idle());
    for (int i : {0, 5, 7})
        rig.loader->enqueue(LoadCommand{.name = l[i]});
    ASSERT_TRUE(rig.idle());

    rig.hold("gate");
    LoadedPicture* p5 = rig.loader->awaitPicture(l[5]);
    const Names queued = rig.queued();
    ASSERT_EQ(queued.size(), 6u) << ::testing::PrintToString(queued);
    EXPECT_EQ(Names(queued.begin(), queued.begin() + 2), (Names{"load:" + l[4], "load:" + l[6]}));
    EXPECT_EQ(sorted(Names(queued.begin() + 2, queued.end())),
              sorted({"unload:" + l[0], "unload:" + l[1], "unload:" + l[3], "unload:" + l[7]}));
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sorted(rig.loader->loadedNames()), sorted({l[2], l[4], l[5], l[6]}));

    // The first entry has one neighbour; a loaded picture is not filled again.
    rig.loader->releasePicture(p2);
    rig.loader->releasePicture(p5);
    rig.loader->enqueue(LoadCommand{.name = l[0]});
    ASSERT_TRUE(rig.idle());
    const int fills = rig.fill.callsFor(l[0]);
    rig.hold("gate2");
    rig.loader->releasePicture(rig.loader->awaitPicture(l[0]));
    EXPECT_EQ(rig.queued().at(0), "load:" + l[1]);
    rig.fill.release("gate2");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sorted(rig.loader->loadedNames()), sorted({l[0], l[1]}));
    EXPECT_EQ(rig.fill.callsFor(l[0]), fills);

    // Pictures in use are never unloaded. Stepping to 8 queues the unload of 1, 2 and 3; taking 2 again before
    // they ran keeps them.
    p2 = rig.loader->awaitPicture(l[2]);
    rig.loader->releasePicture(p2);
    rig.loader->enqueue(LoadCommand{.name = l[8]});
    ASSERT_TRUE(rig.idle());
    rig.hold("gate3");
    rig.loader->releasePicture(rig.loader->awaitPicture(l[8]));
    ASSERT_TRUE(contains(rig.queued(), "unload:" + l[2]));
    EXPECT_EQ(rig.loader->awaitPicture(l[2]), p2);
    rig.fill.release("gate3");
    ASSERT_TRUE(rig.idle());
    for (int i : {1, 2, 3})
        EXPECT_TRUE(contains(rig.loader->loadedNames(), l[i])) << l[i];
    EXPECT_FALSE(contains(rig.loader->loadedNames(), l[8]));
    EXPECT_EQ(p2->name, l[2]);

    // Held twice (the old and the new picture of a cross-fade): it stays until given back twice.
    rig.loader->awaitPicture(l[2]);
    rig.loader->releasePicture(p2);
    EXPECT_TRUE(p2->inUse());
    rig.loader->awaitPicture(l[6]);
    ASSERT_TRUE(rig.idle());
    EXPECT_TRUE(contains(rig.loader->loadedNames(), l[2]));
    rig.loader->releasePicture(p2);
    rig.loader->awaitPicture(l[6]);
    ASSERT_TRUE(rig.idle());
    EXPECT_FALSE(contains(rig.loader->loadedNames(), l[2]));
    rig.loader->releasePicture(p2); // no longer ours: ignored
}

// Asked for or read ahead, a failed load gets its reason as its note, never a box (a thumbnail's: the workers' test).
TEST(BGTextureLoader, FailedLoadsGiveARecordWithItsNoteAndNoBox)
{
    MessageCapture boxes;
    TempDir dir; // a real folder: its missing file is decoded (a damaged file's name is the corpus test's)
    LoaderRig rig({"/x/throw-engine.jpg", "/x/throw-memory.jpg", "/x/throw-std.jpg", dir.file("vanished.jpg"),
                   "/x/refuse.jpg"});
    rig.loader->setFirstLookCover(64, 48);
    const char* inNote[] = {"damaged picture", "not enough memory", "odd failure", "vanished.jpg"};
    const auto expectNoted = [&](const LoadedPicture* p, int i) {
        ASSERT_NE(p, nullptr) << rig.list[i];
        oxLock lock(p->lock);
        EXPECT_FALSE(p->hasTiles());
        EXPECT_EQ(p->note.rfind("[Error while loading: ", 0), 0u) << p->note;
        EXPECT_NE(p->note.find(inNote[i]), std::string::npos) << p->note;
    };
    // Asked for one by one, the next one read ahead each time.
    for (int i = 0; i < 4; ++i)
        expectNoted(rig.loader->awaitPicture(rig.list[i]), i);
    // Under the record's lock: the loader may still be completing its first look.
    const auto noteOf = [](const LoadedPicture* p) {
        oxLock lock(p->lock);
        return p->note;
    };
    EXPECT_EQ(noteOf(rig.loader->awaitPicture("/x/refuse.jpg")), ""); // no reason given; the loader still runs
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

// Scripts read the log by lines: the start-up trace must not split a load's line.
TEST(LoaderLog, WholeLinesFailuresWithTheirReasonAndAnUnwritableLogIsSaidSo)
{
    LoaderLog log;
    ASSERT_TRUE(log.setOpen(true));
    log.write("Load %s ", "/x/a.jpg");
    log.writeLine("startup: first decode done");
    log.write(": %g ms\n", 1.5);
    log.writeLine("after");
    log.write("Load %s ", "/x/b.jpg");
    log.writeLine("closed midway");
    log.setOpen(false);
    const std::string text = readFile(LoaderLog::path());
    EXPECT_NE(text.find("Load /x/a.jpg : 1.5 ms\nstartup: first decode done\nafter\nLoad /x/b.jpg \nclosed midway\n"),
              std::string::npos)
        << text;

    // A broken picture between two good ones: its line tells why, the loader goes on.
    MessageCapture boxes;
    {
        LoaderRig rig({"/log/a.jpg", "/log/throw-engine.jpg", "/log/c.jpg"}, false);
        ASSERT_TRUE(rig.loader->setLogging(true));
        ASSERT_TRUE(rig.loader->startLoader());
        rig.loader->releasePicture(rig.loader->awaitPicture(rig.list[1]));
        ASSERT_TRUE(rig.idle());
    }
    EXPECT_TRUE(std::regex_search(readFile(LoaderLog::path()),
                                  std::regex("Load /log/throw-engine\\.jpg Error Load /log/throw-engine\\.jpg: "
                                             "[^\n]*damaged picture: [0-9.e+-]+ ms\nLoad /log/(a|c)\\.jpg : ")))
        << readFile(LoaderLog::path());

    // A log that cannot be written is said so.
    LoaderRig rig;
    unlink(LoaderLog::path().c_str());
    mkdir(LoaderLog::path().c_str(), 0755); // a folder in its place
    EXPECT_FALSE(rig.loader->setLogging(true));
    EXPECT_FALSE(rig.loader->isLogging());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.messages()[0].text.find("Pictavo_BGTexLoader.log"), std::string::npos);
    rmdir(LoaderLog::path().c_str());
}

// The full picture fills the first look's record once, ahead of prefetches; if it fails, the first look stays.
TEST(BGTextureLoader, FirstLookIsReplacedByTheFullPictureWhenAskedFor)
{
    LoaderRig rig({"/f/a.jpg", "/f/b.jpg", "/f/c.jpg", "/f/d-full-refused.jpg"});
    rig.loader->setFirstLookCover(64, 48);
    rig.fill.block("/f/a.jpg"); // holds the thread at the first neighbour
    LoadedPicture* b = rig.loader->awaitPicture("/f/b.jpg");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->firstLook);
    ASSERT_TRUE(rig.fill.waitBlocked("/f/a.jpg"));
    rig.loader->completePicture(b);
    rig.loader->completePicture(b);
    EXPECT_EQ(rig.queued(), (std::vector<std::string>{"load:/f/b.jpg", "load:/f/c.jpg"}));
    const int redisplays = rig.redisplays;
    rig.fill.release("/f/a.jpg");
    ASSERT_TRUE(rig.idle());
    {
        oxLock lock(b->lock);
        EXPECT_FALSE(b->firstLook);
        EXPECT_EQ(b->text, "fill 3");
    }
    const auto calls = rig.fill.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_TRUE(calls[0].firstLook && calls[1].firstLook && calls[3].firstLook); // b, the prefetches
    EXPECT_GT(rig.redisplays, redisplays);

    LoadedPicture* d = rig.loader->awaitPicture("/f/d-full-refused.jpg");
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(rig.idle());
    rig.loader->completePicture(d);
    ASSERT_TRUE(rig.idle());
    oxLock lock(d->lock);
    EXPECT_FALSE(d->firstLook);
    EXPECT_EQ(d->shownWidth(), 64);
    EXPECT_EQ(rig.fill.callsFor("/f/d-full-refused.jpg"), 2);
}

// A view never waits for a hanging decoder: a newer request cancels and drops it.
TEST(BGTextureLoader, RequestsNeverWaitAndANewerOneCancelsTheDecodingInProgress)
{
    LoaderRig rig({"/r/a.jpg", "/r/b.jpg", "/r/c.jpg", "/r/d.jpg", "/r/e.jpg"});
    rig.fill.block("/r/b.jpg");
    EXPECT_TRUE(rig.loader->requestPicture("/r/b.jpg").pending);
    ASSERT_TRUE(rig.fill.waitBlocked("/r/b.jpg"));
    EXPECT_TRUE(rig.loader->requestPicture("/r/b.jpg").pending); // asking again changes nothing
    const int redisplays = rig.redisplays;
    EXPECT_TRUE(rig.loader->requestPicture("/r/e.jpg").pending);
    LoadedPicture* e = rig.loader->awaitPicture("/r/e.jpg");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(rig.fill.cancelledFills(), 1);
    EXPECT_GT(rig.redisplays, redisplays);
    ASSERT_TRUE(rig.idle());
    const auto loaded = rig.loader->loadedNames();
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), "/r/b.jpg"), 0); // dropped, not kept
    rig.loader->releasePicture(e);
}

TEST(BGTextureLoader, UpdateThumbnailsMarksWantedLoadsMissingAndUnloadsTheRest)
{
    LoaderRig rig(LoaderRig::numbered(4, "/a/"));
    rig.loader->setThumbnailSize(256);
    rig.hold("gate", false);
    rig.loader->updateThumbnails();
    EXPECT_TRUE(rig.queued().empty());
    EXPECT_EQ(rig.loader->pendingThumbnails(), rig.list);
    EXPECT_EQ(rig.loader->progress(), (LoaderProgress{0, 5}));
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(rig.loader->thumbnailNames(), rig.list);
    EXPECT_EQ(rig.fill.callsFor("/a/0.jpg", 256), 1);
    // Each thumbnail, and the end of the work, when the progress display goes.
    EXPECT_TRUE(waitUntil([&] { return rig.redisplays.load() == 5; })) << rig.redisplays.load();

    const LoadedPicture* kept = rig.loader->readThumbnail("/a/1.jpg").get();
    rig.list = {"/a/1.jpg", "/a/new.jpg", "/a/3.jpg"};
    rig.hold("gate2", false);
    rig.loader->updateThumbnails();
    EXPECT_EQ(sorted(rig.queued()), (Names{"unloadT:/a/0.jpg", "unloadT:/a/2.jpg"}));
    EXPECT_EQ(rig.loader->pendingThumbnails(), (Names{"/a/new.jpg"}));
    // Back to the first list before those ran: unloads taken back, loads in between dropped and uncounted.
    rig.list = LoaderRig::numbered(4, "/a/");
    rig.loader->updateThumbnails();
    EXPECT_TRUE(rig.loader->queuedCommands().empty());
    EXPECT_TRUE(rig.loader->pendingThumbnails().empty());
    EXPECT_EQ(rig.loader->progress(), (LoaderProgress{0, 1}));
    rig.fill.release("gate2");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(rig.loader->thumbnailNames(), rig.list);
    EXPECT_EQ(rig.loader->readThumbnail("/a/1.jpg").get(), kept);
    EXPECT_EQ(rig.fill.callsFor("/a/new.jpg"), 0);
    EXPECT_NE(rig.loader->awaitPicture("/a/1.jpg"), kept); // full pictures are separate records
}

// The cells on screen first, then the nearest around them; commands before any thumbnail.
TEST(BGTextureLoader, VisibleThumbnailsAreMadeFirst)
{
    LoaderRig rig(LoaderRig::numbered(2000, "/v/"));
    rig.loader->setThumbnailCount(50);
    rig.hold("gate", false);
    rig.loader->updateThumbnails();
    rig.loader->setVisibleRange(1500, 1503);
    rig.loader->transformPicture("/v/7.jpg", oxImageTransform());
    const Names order = rig.loader->pendingThumbnails();
    ASSERT_EQ(order.size(), 2000u);
    EXPECT_EQ(Names(order.begin(), order.begin() + 7),
              (Names{"/v/1500.jpg", "/v/1501.jpg", "/v/1502.jpg", "/v/1503.jpg", "/v/1504.jpg", "/v/1499.jpg",
                     "/v/1505.jpg"}));
    EXPECT_EQ(order.back(), "/v/0.jpg");
    rig.fill.release("gate");
    ASSERT_TRUE(waitUntil([&] { return rig.fill.calls().size() >= 3; }));
    const auto calls = rig.fill.calls();
    EXPECT_EQ(calls[1].name, "/v/1500.jpg") << "after the rotation, which reloads nothing";
}

// A long decode (a bomb) stops when its folder is left, a picture is asked for, or at shut-down,
// where nothing is left over.
TEST(BGTextureLoader, ThumbnailDecodesInFlightStopWhenNoLongerWanted)
{
    MessageCapture boxes;
    std::mutex mutex;
    std::map<std::string, int> started, stopped;
    auto rig = std::make_unique<LoaderRig>(LoaderRig::numbered(4, "/a/"), true, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 2;
        s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken& cancel) -> PictureFiller {
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++started[name];
            }
            if (waitUntil([&] { return cancel.cancelled(); }, std::chrono::seconds(30))) {
                std::lock_guard<std::mutex> lock(mutex);
                ++stopped[name];
            }
            cancel.check();
            return [](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; };
        };
    });
    const auto count = [&](const std::map<std::string, int>& m, const std::string& folder) {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const auto& [name, times] : m)
            n += name.rfind(folder, 0) == 0 ? times : 0;
        return n;
    };
    rig->loader->updateThumbnails();
    ASSERT_TRUE(waitUntil([&] { return count(started, "/a/") == 2; }));
    rig->list = LoaderRig::numbered(3, "/b/");
    rig->loader->updateThumbnails();
    ASSERT_TRUE(waitUntil([&] { return count(stopped, "/a/") == 2 && count(started, "/b/") == 2; }));
    EXPECT_EQ(count(started, "/a/"), 2); // not taken again

    LoadedPicture* picture = rig->loader->awaitPicture("/b/2.jpg");
    ASSERT_NE(picture, nullptr);
    rig->loader->releasePicture(picture);
    ASSERT_TRUE(waitUntil([&] { return count(started, "/b/") == 4; })); // made again after it
    EXPECT_EQ(count(stopped, "/b/"), 2);
    const auto before = std::chrono::steady_clock::now();
    rig->loader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ(count(stopped, "/b/"), 4);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

TEST(BGTextureLoader, WakesSleepsAndSurvivesRapidAcquireAndRelease)
{
    LoaderRig rig(LoaderRig::numbered(40, "/r/"));
    // A cold picture is there as soon as it is loaded, not at a later poll.
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 12; i += 3) {
        ASSERT_TRUE(rig.idle());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = std::chrono::steady_clock::now();
        rig.loader->releasePicture(rig.loader->awaitPicture(rig.list[i]));
        slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    }
    EXPECT_LT(slowest, std::chrono::milliseconds(250));

    rig.fill.delayUs = 200;
    rig.loader->updateThumbnails(); // keeps the loader busy meanwhile
    std::mt19937 random(1234);
    std::vector<LoadedPicture*> held;
    for (int i = 0; i < 1000; ++i) {
        LoadedPicture* p = rig.loader->awaitPicture(rig.list[random() % rig.list.size()]);
        ASSERT_NE(p, nullptr);
        held.push_back(p);
        for (LoadedPicture* h : held) { // a freed one trips the sanitizers
            oxLock lock(h->lock);
            ASSERT_EQ(h->name.rfind("/r/", 0), 0u);
        }
        if (held.size() > 2 || random() % 2) {
            rig.loader->releasePicture(held.front());
            held.erase(held.begin());
        }
    }
    Names loaded = sorted(rig.loader->loadedNames());
    EXPECT_EQ(std::adjacent_find(loaded.begin(), loaded.end()), loaded.end()); // never loaded twice
    for (LoadedPicture* h : held)
        rig.loader->releasePicture(h);
    // Twice: the second step also unloads what a load in progress at the first brought in.
    for (int i = 0; i < 2; ++i) {
        rig.loader->releasePicture(rig.loader->awaitPicture(rig.list[20]));
        ASSERT_TRUE(rig.idle());
    }
    EXPECT_EQ(sorted(rig.loader->loadedNames()), (Names{rig.list[19], rig.list[20], rig.list[21]}));

    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t passes = rig.loader->loopPasses();
    const double cpu = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(rig.loader->loopPasses(), passes) << "the idle loader woke up";
    EXPECT_LT(cpuSeconds() - cpu, 0.1);
}

TEST(BGTextureLoader, ShutDownAndThreadProblems)
{
    MessageCapture boxes;
    TempDir dir;
    const std::string source = dir.file("source.jpg");
    ASSERT_TRUE(writeFile(source, "picture bytes"));
    auto rig = std::make_unique<LoaderRig>(LoaderRig::numbered(60, "/s/"));
    ASSERT_TRUE(rig->loader->setLogging(true));
    rig->loader->awaitPicture(rig->list[10]); // still in use at the end
    rig->loader->updateThumbnails();
    ASSERT_TRUE(rig->idle());
    rig->hold("in progress", false);
    for (int i = 20; i < 60; ++i)
        rig->loader->enqueue(LoadCommand{.name = rig->list[i]});
    rig->loader->copyMovePicture(source, dir.file("copy1.jpg"), true, 501, false);
    rig->loader->copyMovePicture(source, dir.file("copy2.jpg"), true, 502, false);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rig->fill.release("in progress");
    });
    rig->loader->shutdownLoader();
    release.join();
    for (int i = 20; i < 60; ++i)
        EXPECT_EQ(rig->fill.callsFor(rig->list[i], 0), 0) << rig->list[i];
    EXPECT_EQ(readFile(dir.file("copy1.jpg")), "picture bytes");
    EXPECT_EQ(readFile(dir.file("copy2.jpg")), "picture bytes");
    EXPECT_EQ(rig->commands(), (std::vector<unsigned>{501, 502}));
    // Everything, the picture in use and the one loaded last too, was unloaded by the loader's commands.
    EXPECT_TRUE(rig->loader->loadedNames().empty());
    EXPECT_TRUE(rig->loader->thumbnailNames().empty());
    const std::string log = readFile(LoaderLog::path());
    for (const std::string& name : {rig->list[10], rig->list[11], rig->list[59]})
        EXPECT_NE(log.find("Unload " + name + " "), std::string::npos) << name;
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();

    // A stopped loader says so; destroying it stays quiet.
    EXPECT_EQ(rig->loader->awaitPicture(rig->list[0]), nullptr);
    rig.reset();
    ASSERT_EQ(boxes.count(), 1u) << boxes.texts();
    EXPECT_EQ(boxes.messages()[0].text, "BGTextureLoader: Thread is no longer running, can't load any images!");
    unlink(LoaderLog::path().c_str());

    // An unusable context and work left over are told on the calling thread, not the loader's.
    {
        LoaderRig noContext({}, true, false);
        noContext.hold("gate"); // still works without its context
        noContext.fill.release("gate");
    }
    auto neverRan = std::make_unique<LoaderRig>(Names{}, false);
    neverRan->loader->enqueue(LoadCommand{.name = "/k/thumb", .thumbnail = true});
    neverRan.reset(); // never done: reported, not dropped silently
    const auto shown = boxes.messages();
    ASSERT_EQ(shown.size(), 3u) << boxes.texts();
    EXPECT_EQ(shown[1].text, "BGTextureLoader: MakeCurrent failed.");
    EXPECT_NE(shown[2].text.find("BGTL: Commands left over on exit"), std::string::npos);
    EXPECT_EQ(boxes.threads(), std::vector<std::thread::id>(3, std::this_thread::get_id()));
}

// At start-up the first picture's frame comes before its neighbours.
TEST(BGTextureLoader, HeldReadAheadWaitsWhilePicturesAskedForLoad)
{
    LoaderRig rig(LoaderRig::numbered(5, "/p/"));
    const Names& l = rig.list;
    rig.loader->holdReadAhead(true);
    LoadedPicture* p = rig.loader->awaitPicture(l[2]);
    ASSERT_NE(p, nullptr);
    rig.loader->releasePicture(p);
    ASSERT_TRUE(waitUntil([&] { return rig.queued() == Names{"load:" + l[1], "load:" + l[3]}; }));
    EXPECT_EQ(rig.loader->loadedNames(), Names{l[2]});
    rig.loader->releasePicture(rig.loader->awaitPicture(l[4])); // asked for: not held
    EXPECT_TRUE(contains(rig.loader->loadedNames(), l[4]));

    rig.loader->holdReadAhead(false);
    ASSERT_TRUE(rig.idle());
    EXPECT_TRUE(contains(rig.loader->loadedNames(), l[3]));
}

// Workers decode, the loader thread alone publishes; a throwing decode gives a record with its reason. Frames are
// rate-limited, but the one completing the screen is asked for: the next may come much later.
TEST(BGTextureLoader, WorkersDecodeTheLoaderThreadPublishes)
{
    std::mutex mutex;
    std::set<std::thread::id> decoders, publishers;
    std::atomic<int> mostShown{0};
    LoaderRig made(LoaderRig::numbered(5, "/s/"), false, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 2;
        s.makeThumbnail = [&](const std::string& name, int edge, const oxCancelToken& cancel) -> PictureFiller {
            {
                std::lock_guard<std::mutex> lock(mutex);
                decoders.insert(std::this_thread::get_id());
            }
            // The last on screen comes alone, just after the others.
            const auto waits = [&] {
                return name == "/s/4.jpg" || (name == "/s/3.jpg" && !made.loader->readThumbnail("/s/2.jpg").get());
            };
            waitUntil([&] { return !waits() || cancel.cancelled(); });
            cancel.check();
            if (name == "/s/1.jpg")
                throw oxImageException("broken on purpose", name);
            return [&, edge](const std::string&, LoadedPicture& p, const oxCancelToken&) {
                std::lock_guard<std::mutex> lock(mutex);
                publishers.insert(std::this_thread::get_id());
                p.imageWidth = edge;
                return true;
            };
        };
        s.requestRedisplay = [&] {
            int shown = 0;
            for (int i = 0; i < 4; ++i)
                shown += made.loader->readThumbnail(made.list[size_t(i)]).get() != nullptr;
            mostShown = std::max(mostShown.load(), shown);
        };
    });
    made.loader->setThumbnailSize(64);
    made.loader->setVisibleRange(0, 3);
    ASSERT_TRUE(made.loader->startLoader());
    made.loader->updateThumbnails();
    EXPECT_TRUE(waitUntil([&] { return mostShown.load() == 4; })) << mostShown.load();
    EXPECT_EQ(made.loader->readThumbnail("/s/2.jpg")->imageWidth, 64);
    EXPECT_NE(made.loader->readThumbnail("/s/1.jpg")->note.find("broken on purpose"), std::string::npos);
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(publishers.size(), 1u);
    EXPECT_EQ(decoders.count(*publishers.begin()), 0u);
}

// A thumbnail's cache write comes after its publication; while cells on screen are still to be made the
// writes wait (only within the room the count leaves), and those waiting at shut-down are written then.
TEST(BGTextureLoader, CacheWritesFollowThePublicationAndWaitForTheScreen)
{
    for (const int count : {100, 3, 0}) { // 0: shut down while the fourth is being made
        SCOPED_TRACE(count);
        std::mutex mutex;
        std::vector<std::string> events;
        size_t mostWaiting = 0;
        std::atomic<bool> publishedFirst{true};
        LoaderRig rig(LoaderRig::numbered(12, "/s/"), false, true, [&](LoaderServices& s) {
            s.thumbnailWorkers = 1;
            s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken& cancel) -> MadeThumbnail {
                if (count == 0 && name == rig.list[3]) {
                    waitUntil([&] { return cancel.cancelled(); });
                    throw oxCancelled();
                }
                std::lock_guard<std::mutex> lock(mutex);
                events.push_back("make " + name);
                const auto made = std::count_if(events.begin(), events.end(), [](auto& e) { return e[0] == 'm'; });
                mostWaiting = std::max(mostWaiting, size_t(2 * made - ptrdiff_t(events.size())));
                return {[](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; },
                        [&, name] {
                            if (count && !waitUntil([&] { return rig.loader->readThumbnail(name).get() != nullptr; }))
                                publishedFirst = false;
                            std::lock_guard<std::mutex> lock(mutex);
                            events.push_back("write " + name);
                        }};
            };
        });
        rig.loader->setThumbnailCount(count ? count : 100);
        rig.loader->setVisibleRange(0, 5);
        ASSERT_TRUE(rig.loader->startLoader());
        rig.loader->updateThumbnails();
        const auto written = [&] {
            std::lock_guard<std::mutex> lock(mutex);
            return std::count_if(events.begin(), events.end(), [](auto& e) { return e[0] == 'w'; });
        };
        if (count == 0) {
            ASSERT_TRUE(waitUntil([&] { return rig.loader->thumbnailNames().size() == 3; }));
            rig.loader->shutdownLoader();
            EXPECT_EQ(written(), 3);
            continue;
        }
        ASSERT_TRUE(waitUntil([&] { return written() == std::min(count, 12); })) << ::testing::PrintToString(events);
        EXPECT_TRUE(publishedFirst);
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_LE(mostWaiting, size_t(count));
        if (count == 100) {
            const auto firstWrite = std::find_if(events.begin(), events.end(), [](auto& e) { return e[0] == 'w'; });
            EXPECT_EQ(std::find(events.begin(), events.end(), "make " + rig.list[5]) + 1, firstWrite)
                << ::testing::PrintToString(events);
        }
    }
}

// Beyond the thumbnail count, those nearest the screen are kept, also after scrolling; the set makes room
// before each upload, so it never holds more than the count.
TEST(BGTextureLoader, ThumbnailCountKeepsThoseNearestTheScreenAndIsNeverExceeded)
{
    constexpr int COUNT = 20;
    std::atomic<size_t> most{0};
    LoaderRig rig(LoaderRig::numbered(400, "/s/"), true, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 3;
        s.makeThumbnail = [&](const std::string&, int, const oxCancelToken&) -> PictureFiller {
            return [&](const std::string&, LoadedPicture&, const oxCancelToken&) {
                // On the loader thread, which holds no lock while it uploads.
                const size_t held = rig.loader->thumbnailNames().size() + 1;
                size_t seen = most.load();
                while (held > seen && !most.compare_exchange_weak(seen, held)) {
                }
                return true;
            };
        };
    });
    BGTextureLoader* loader = rig.loader.get();
    loader->setThumbnailCount(COUNT);
    loader->setVisibleRange(200, 209);
    rig.hold("gate", false);
    loader->updateThumbnails();
    EXPECT_EQ(loader->progress(), (LoaderProgress{0, COUNT + 1})) << "the progress counts what the count lets in";
    rig.fill.release("gate");
    const auto kept = [&] {
        std::vector<int> out;
        for (const std::string& name : loader->thumbnailNames())
            out.push_back(std::stoi(name.substr(3)));
        std::sort(out.begin(), out.end());
        return out;
    };
    for (int first : {200, 300, 100, 390, 0}) {
        loader->setVisibleRange(first, first + 9);
        // The ten on screen, then the nearest alternately after and before them.
        std::vector<int> nearest(COUNT);
        std::iota(nearest.begin(), nearest.end(), std::clamp(first - 5, 0, 400 - COUNT));
        EXPECT_TRUE(waitUntil([&] { return kept() == nearest && loader->progress() == LoaderProgress{}; }))
            << "scrolled to " << first << ": " << testing::PrintToString(kept());
    }
    EXPECT_LE(most.load(), size_t(COUNT));
}
