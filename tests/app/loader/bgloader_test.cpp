// The background loader's queue and record logic, with a preparation that
// needs no GL (so ThreadSanitizer can run it).
#include "loadertest.h"

#include "app/simpleloader.h"

#include <algorithm>
#include <random>
#include <time.h>

namespace {

LoaderTestHome g_home;

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

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

} // namespace

TEST(BGTextureLoader, AcquireLoadsAColdPictureAndPrefetchesItsNeighbours)
{
    LoaderRig rig(LoaderRig::numbered(10));
    LoadedPicture* p5 = rig.loader->acquirePicture(rig.list[5]);
    ASSERT_NE(p5, nullptr);
    EXPECT_EQ(p5->name, rig.list[5]);
    EXPECT_TRUE(p5->inUse);
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sorted(rig.loader->loadedNames()), (Names{rig.list[4], rig.list[5], rig.list[6]}));
    // Every full picture is asked for without a size limit.
    for (const auto& c : rig.fill.calls())
        EXPECT_EQ(c.maximum, 0) << c.name;
    // Already loaded: the same record, no new fill.
    rig.loader->releasePicture(p5);
    EXPECT_EQ(rig.loader->acquirePicture(rig.list[5]), p5);
    EXPECT_EQ(rig.fill.callsFor(rig.list[5]), 1);
    rig.loader->releasePicture(p5);
}

TEST(BGTextureLoader, AcquireQueuesNeighbourLoadsAndUnloadsOfEveryOtherPictureNotInUse)
{
    LoaderRig rig(LoaderRig::numbered(10));
    const Names& l = rig.list;
    LoadedPicture* p2 = rig.loader->acquirePicture(l[2]); // stays in use
    ASSERT_TRUE(rig.idle());
    for (int i : {0, 5, 7})
        rig.loader->enqueueCommand(CMD_LOAD, l[i]);
    ASSERT_TRUE(rig.idle());
    ASSERT_EQ(sorted(rig.loader->loadedNames()), sorted({l[0], l[1], l[2], l[3], l[5], l[7]}));

    rig.hold();
    ASSERT_NE(rig.loader->acquirePicture(l[5]), nullptr);
    const Names queued = describe(rig.loader->queuedCommands());
    ASSERT_EQ(queued.size(), 6u) << ::testing::PrintToString(queued);
    EXPECT_EQ(queued[0], "load:" + l[4]);
    EXPECT_EQ(queued[1], "load:" + l[6]);
    EXPECT_EQ(sorted(Names(queued.begin() + 2, queued.end())),
              sorted({"unload:" + l[0], "unload:" + l[1], "unload:" + l[3], "unload:" + l[7]}));
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sorted(rig.loader->loadedNames()), sorted({l[2], l[4], l[5], l[6]}));

    // The first entry has only a following neighbour.
    rig.loader->releasePicture(p2);
    rig.loader->enqueueCommand(CMD_LOAD, l[0]);
    ASSERT_TRUE(rig.idle());
    rig.hold("gate2");
    ASSERT_NE(rig.loader->acquirePicture(l[0]), nullptr);
    const Names first = describe(rig.loader->queuedCommands());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], "load:" + l[1]);
    for (size_t i = 1; i < first.size(); ++i)
        EXPECT_EQ(first[i].rfind("unload:", 0), 0u) << first[i];
    rig.fill.release("gate2");
    ASSERT_TRUE(rig.idle());
    // l[5] is still held from above.
    EXPECT_EQ(sorted(rig.loader->loadedNames()), sorted({l[0], l[1], l[5]}));
}

TEST(BGTextureLoader, PicturesInUseAreNeverUnloaded)
{
    LoaderRig rig(LoaderRig::numbered(10));
    const Names& l = rig.list;
    LoadedPicture* p2 = rig.loader->acquirePicture(l[2]);
    ASSERT_TRUE(rig.idle());
    rig.loader->releasePicture(p2);
    rig.loader->enqueueCommand(CMD_LOAD, l[8]);
    ASSERT_TRUE(rig.idle());

    // Stepping to 8 queues the unload of 1, 2 and 3; taking 2 again before
    // the loader got to them keeps 2 and its neighbours.
    rig.hold();
    LoadedPicture* p8 = rig.loader->acquirePicture(l[8]);
    ASSERT_TRUE(contains(describe(rig.loader->queuedCommands()), "unload:" + l[2]));
    rig.loader->releasePicture(p8);
    EXPECT_EQ(rig.loader->acquirePicture(l[2]), p2);
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    Names loaded = rig.loader->loadedNames();
    for (int i : {1, 2, 3})
        EXPECT_TRUE(contains(loaded, l[i])) << l[i];
    EXPECT_FALSE(contains(loaded, l[8]));
    EXPECT_EQ(p2->name, l[2]);

    // A picture held twice (a view showing it as the old and the new
    // picture of a cross-fade) stays until it is given back twice.
    EXPECT_EQ(rig.loader->acquirePicture(l[2]), p2);
    rig.loader->releasePicture(p2);
    EXPECT_TRUE(p2->inUse);
    rig.loader->acquirePicture(l[6]);
    ASSERT_TRUE(rig.idle());
    EXPECT_TRUE(contains(rig.loader->loadedNames(), l[2]));
    rig.loader->releasePicture(p2);
    EXPECT_FALSE(p2->inUse);
    rig.loader->acquirePicture(l[6]);
    ASSERT_TRUE(rig.idle());
    EXPECT_FALSE(contains(rig.loader->loadedNames(), l[2]));
    // Giving back what is not (or no longer) ours changes nothing.
    rig.loader->releasePicture(nullptr);
    rig.loader->releasePicture(p2);
}

TEST(BGTextureLoader, FailedLoadsGiveARecordWithTheirNoteAndTheLoaderGoesOn)
{
    ThreadSafeMessages boxes;
    TempDir dir;
    const std::string corrupt = dir.file("corrupt.jpg"), unreadable = dir.file("unreadable.jpg");
    ASSERT_TRUE(writeFile(corrupt, std::string("\xFF\xD8\xFF\xE0 not really a JPEG", 22)));
    ASSERT_TRUE(writeFile(unreadable, std::string("\xFF\xD8\xFF\xE0", 4)));
    chmod(unreadable.c_str(), 0);
    LoaderRig rig({dir.file("throw-engine.jpg"), dir.file("throw-memory.jpg"), dir.file("throw-std.jpg"),
                   dir.file("refuse.jpg"), corrupt, unreadable, dir.file("vanished.jpg"), "/nowhere/ok.jpg"});
    // "vanished" exists while listed, not while loaded; only a real file is decoded.
    ASSERT_TRUE(writeFile(dir.file("vanished.jpg"), "x"));
    struct Expect {
        int index;
        const char* inNote;
    } cases[] = {{0, "damaged picture"}, {1, "not enough memory"}, {2, "odd failure"}, {3, ""},
                 {4, ""},                {5, ""},                  {6, ""}};
    unlink(dir.file("vanished.jpg").c_str());
    for (const Expect& e : cases) {
        LoadedPicture* p = rig.loader->acquirePicture(rig.list[e.index]);
        ASSERT_NE(p, nullptr) << rig.list[e.index];
        oxLock lock(p->lock);
        EXPECT_FALSE(p->hasTiles());
        if (e.index == 3) {
            EXPECT_EQ(p->note, ""); // the preparation said no and told the user itself
        } else {
            EXPECT_EQ(p->note.rfind("[Error while loading: ", 0), 0u) << p->note;
            EXPECT_EQ(p->note.back(), ']') << p->note;
            EXPECT_NE(p->note.find(e.inNote), std::string::npos) << p->note;
        }
        rig.loader->releasePicture(p);
    }
    // A corrupt file is reported by name.
    LoadedPicture* c = rig.loader->acquirePicture(corrupt);
    EXPECT_NE(c->note.find("corrupt.jpg"), std::string::npos) << c->note;
    rig.loader->releasePicture(c);
    EXPECT_TRUE(rig.loader->isRunning());
    LoadedPicture* ok = rig.loader->acquirePicture(rig.list[7]);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->note, "");
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

TEST(BGTextureLoader, UpdateThumbnailsFollowsThePictureList)
{
    LoaderRig rig(LoaderRig::numbered(4, "/a/p"));
    rig.loader->setThumbnailSize(256);
    rig.loader->setThumbnailCount(7);
    EXPECT_EQ(rig.loader->thumbnailCount(), 7);
    rig.hold("gate", false);
    rig.loader->updateThumbnails();
    EXPECT_EQ(describe(rig.loader->queuedCommands()),
              (Names{"loadT:/a/p0.jpg", "loadT:/a/p1.jpg", "loadT:/a/p2.jpg", "loadT:/a/p3.jpg"}));
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(rig.loader->thumbnailNames(), rig.list);
    for (const auto& c : rig.fill.calls())
        EXPECT_EQ(c.maximum, c.name == "gate" ? 0 : 256) << c.name;
    EXPECT_GE(rig.host.redisplays.load(), 4);
    EXPECT_EQ(rig.loader->thumbnail("/a/p9.jpg"), nullptr);

    // Two pictures leave the list, one joins it: the kept ones are marked
    // wanted, the others unloaded first, the new one loaded.
    LoadedPicture* kept = rig.loader->thumbnail("/a/p1.jpg");
    rig.list = {"/a/p1.jpg", "/a/new.jpg", "/a/p3.jpg"};
    rig.hold("gate2", false);
    rig.loader->updateThumbnails();
    Names queued = describe(rig.loader->queuedCommands());
    ASSERT_EQ(queued.size(), 3u) << ::testing::PrintToString(queued);
    EXPECT_EQ(sorted(Names(queued.begin(), queued.begin() + 2)), (Names{"unloadT:/a/p0.jpg", "unloadT:/a/p2.jpg"}));
    EXPECT_EQ(queued[2], "loadT:/a/new.jpg");
    {
        oxLock lock(rig.loader->threadLock());
        EXPECT_TRUE(rig.loader->thumbnail("/a/p1.jpg")->wanted);
        EXPECT_FALSE(rig.loader->thumbnail("/a/p0.jpg")->wanted);
    }

    // Back to the first list before the unloads ran: nothing is lost, and
    // the loads for the list in between are not carried out.
    rig.list = LoaderRig::numbered(4, "/a/p");
    rig.loader->updateThumbnails();
    EXPECT_TRUE(describe(rig.loader->queuedCommands()).empty())
        << ::testing::PrintToString(describe(rig.loader->queuedCommands()));
    rig.fill.release("gate2");
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(rig.loader->thumbnailNames(), rig.list);
    EXPECT_EQ(rig.loader->thumbnail("/a/p1.jpg"), kept);
    EXPECT_EQ(rig.fill.callsFor("/a/new.jpg"), 0);
    // Thumbnails and full pictures of the same file are separate records.
    LoadedPicture* full = rig.loader->acquirePicture("/a/p1.jpg");
    EXPECT_NE(full, kept);
    rig.loader->releasePicture(full);
}

TEST(BGTextureLoader, ProgressCountsCommandsUntilTheQueueRunsEmpty)
{
    LoaderRig rig(LoaderRig::numbered(5, "/t/p"));
    EXPECT_EQ(rig.loader->progress(), (std::pair<int, int>(0, 0)));
    rig.hold("gate", false);
    rig.fill.block("/t/p3.jpg");
    rig.loader->updateThumbnails();
    EXPECT_EQ(rig.loader->progress(), (std::pair<int, int>(0, 6)));
    // A repeated request replaces the queued one and is not counted twice.
    rig.loader->enqueueCommand(CMD_LOAD | CMD_THUMBNAIL, "/t/p4.jpg");
    EXPECT_EQ(rig.loader->progress(), (std::pair<int, int>(0, 6)));
    const int redisplays = rig.host.redisplays.load();
    rig.fill.release("gate");
    ASSERT_TRUE(rig.fill.waitBlocked("/t/p3.jpg"));
    EXPECT_EQ(rig.loader->progress(), (std::pair<int, int>(4, 6))); // gate, p0, p1, p2
    rig.fill.release("/t/p3.jpg");
    ASSERT_TRUE(rig.idle());
    // The end of the work is drawn: the progress display goes away.
    EXPECT_GT(rig.host.redisplays.load(), redisplays + 4);
}

TEST(BGTextureLoader, WakesForEachCommandAndSleepsWhileIdle)
{
    LoaderRig rig(LoaderRig::numbered(12, "/w/p"));
    // A cold picture is there as soon as it is loaded, not at a later poll.
    int64_t slowestUs = 0;
    for (int i = 0; i < 12; i += 3) {
        ASSERT_TRUE(rig.idle());
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the loader is waiting again
        const auto start = std::chrono::steady_clock::now();
        LoadedPicture* p = rig.loader->acquirePicture(rig.list[i]);
        slowestUs = std::max<int64_t>(slowestUs, std::chrono::duration_cast<std::chrono::microseconds>(
                                                     std::chrono::steady_clock::now() - start)
                                                     .count());
        rig.loader->releasePicture(p);
    }
    EXPECT_LT(slowestUs, 250000);

    ASSERT_TRUE(rig.idle());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t passes = rig.loader->loopPasses();
    const double cpu = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(rig.loader->loopPasses(), passes) << "the idle loader woke up";
    EXPECT_LT(processCpuSeconds() - cpu, 0.1);
}

TEST(BGTextureLoader, RapidAcquireAndReleaseNeitherDeadlocksNorFreesPicturesInUse)
{
    LoaderRig rig(LoaderRig::numbered(40, "/r/p"));
    rig.fill.setDelayMicroseconds(200);
    rig.loader->updateThumbnails(); // thumbnails keep the loader busy meanwhile
    std::mt19937 random(1234);
    std::vector<LoadedPicture*> held;
    for (int i = 0; i < 1000; ++i) {
        const std::string& name = rig.list[random() % rig.list.size()];
        LoadedPicture* p = rig.loader->acquirePicture(name);
        ASSERT_NE(p, nullptr);
        held.push_back(p);
        // Everything held must still be intact (ASan/TSan see a freed one).
        for (LoadedPicture* h : held) {
            oxLock lock(h->lock);
            ASSERT_TRUE(h->inUse);
            ASSERT_EQ(h->name.rfind("/r/p", 0), 0u);
        }
        if (held.size() > 2 || random() % 2) {
            rig.loader->releasePicture(held.front());
            held.erase(held.begin());
        }
        if (i % 100 == 0)
            rig.loader->updateThumbnails();
    }
    // Nothing is ever loaded twice into the set.
    Names loaded = sorted(rig.loader->loadedNames());
    EXPECT_EQ(std::adjacent_find(loaded.begin(), loaded.end()), loaded.end());
    for (LoadedPicture* h : held)
        rig.loader->releasePicture(h);
    // Once nothing is held, a step leaves the picture and its neighbours
    // (the second one also unloads what a prefetch still in progress at the
    // first one brought in).
    for (int i = 0; i < 2; ++i) {
        rig.loader->releasePicture(rig.loader->acquirePicture(rig.list[20]));
        ASSERT_TRUE(rig.idle());
    }
    EXPECT_EQ(sorted(rig.loader->loadedNames()), (Names{rig.list[19], rig.list[20], rig.list[21]}));
}

TEST(BGTextureLoader, ShutDownDropsLoadsButCarriesOutFileOperations)
{
    ThreadSafeMessages boxes;
    TempDir dir;
    const std::string source = dir.file("source.jpg");
    ASSERT_TRUE(writeFile(source, "picture bytes"));
    auto rig = std::make_unique<LoaderRig>(LoaderRig::numbered(60, "/s/p"));
    ASSERT_TRUE(rig->loader->setLogging(true));
    rig->loader->acquirePicture(rig->list[10]); // a picture still in use
    rig->loader->updateThumbnails();
    ASSERT_TRUE(rig->idle());
    rig->loader->setThumbnailSize(64);
    rig->hold("in progress", false);
    for (int i = 20; i < 60; ++i)
        rig->loader->enqueueCommand(CMD_LOAD, rig->list[i]);
    rig->loader->copyMovePicture(source, dir.file("copy1.jpg"), true, 501);
    rig->loader->copyMovePicture(source, dir.file("copy2.jpg"), true, 502);

    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rig->fill.release("in progress");
    });
    rig->loader->shutdownLoader();
    release.join();
    EXPECT_FALSE(rig->loader->isRunning());
    // The command in progress was finished, the copies made, the loads dropped.
    EXPECT_EQ(rig->fill.callsFor("in progress"), 1);
    for (int i = 20; i < 60; ++i)
        EXPECT_EQ(rig->fill.callsFor(rig->list[i], 0), 0) << rig->list[i];
    EXPECT_EQ(readFile(dir.file("copy1.jpg")), "picture bytes");
    EXPECT_EQ(readFile(dir.file("copy2.jpg")), "picture bytes");
    EXPECT_EQ(rig->host.commands(), (std::vector<unsigned>{501, 502}));
    EXPECT_TRUE(rig->loader->loadedNames().empty());
    EXPECT_TRUE(rig->loader->thumbnailNames().empty());
    // Every picture and thumbnail, the one in use too, was unloaded by the
    // loader's own commands.
    const std::string log = readFile(LoaderLog::path());
    for (int i : {9, 10, 11})
        EXPECT_NE(log.find("Unload " + rig->list[i] + " "), std::string::npos) << rig->list[i];
    EXPECT_NE(log.find("Unload " + rig->list[59] + " "), std::string::npos); // a thumbnail
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();

    // A stopped loader loads nothing and says so; destroying it stays quiet.
    EXPECT_EQ(rig->loader->acquirePicture(rig->list[0]), nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "BGTextureLoader: Thread is no longer running, can't load any images!");
    rig.reset();
    EXPECT_EQ(boxes.count(), 1u) << boxes.texts();
    unlink(LoaderLog::path().c_str());
}

TEST(BGTextureLoader, KindWordsAndALoaderThatNeverStarted)
{
    ThreadSafeMessages boxes;
    std::vector<std::string> list;
    FakeFill fill;
    FakeHost host;
    auto loader = std::make_unique<BGTextureLoader>(list, host.services(fill));
    loader->enqueueCommand(9, "/k/thumb");
    loader->enqueueCommand(17, "/k/urgent");
    loader->enqueueCommand(24, "/k/gone");
    const auto q = loader->queuedCommands();
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(describe(q), (Names{"unloadT:/k/gone", "load:/k/urgent", "loadT:/k/thumb"}));
    EXPECT_EQ(loader->acquirePicture("/k/any"), nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    // Work that was asked for and never done is reported, not dropped silently.
    loader.reset();
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_NE(boxes.messages()[1].text.find("BGTL: Commands left over on exit"), std::string::npos);
}

TEST(SimpleTextureLoader, LoadsInTheCallingThreadAndDestroysOnRelease)
{
    FakeFill fill;
    SimpleTextureLoader loader(fill.filler());
    LoadedPicture* p = loader.acquirePicture("/x/a.jpg");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->name, "/x/a.jpg");
    EXPECT_EQ(fill.calls().at(0).thread, std::this_thread::get_id());
    EXPECT_EQ(loader.acquirePicture("/x/refuse.jpg"), nullptr);
    // A preparation that throws leaves the view a record that tells why.
    LoadedPicture* broken = loader.acquirePicture("/x/throw-engine.jpg");
    ASSERT_NE(broken, nullptr);
    EXPECT_NE(broken->note.find("damaged picture"), std::string::npos);
    loader.releasePicture(p);
    loader.releasePicture(broken);
    loader.releasePicture(p); // already gone: ignored
}
