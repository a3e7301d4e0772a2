// The background loader: a thread with its own GL context that keeps the
// shown picture and its neighbours in the picture list loaded, keeps the
// thumbnail set of the list, and carries out rotations, conversions, copies
// and moves, one command at a time.
//
// Every public operation is for the main thread. threadLock() guards the
// queue, the counters, the loaded pictures and the thumbnails; a view that
// reads a thumbnail holds it while it uses the record. Lock order: threadLock
// before a record's own lock, never the other way round.
#pragma once

#include "app/loader/loadercommands.h"
#include "app/loader/loadercontext.h"
#include "app/loader/loaderlog.h"
#include "app/loader/loaderroles.h"
#include "app/loader/textureloader.h"
#include "app/loader/thumbnailqueue.h"

#include "oxengine/core/thread.h"
#include "oxengine/storage/fileops.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A thumbnail a worker made: the step that fills the record on the loader
// thread, and work the worker does after handing it over (writing it into
// the shared cache).
struct MadeThumbnail {
    MadeThumbnail(PictureFiller fill = {}, std::function<void()> later = {})
        : fill(std::move(fill)), later(std::move(later))
    {
    }
    PictureFiller fill;
    std::function<void()> later;
};

// What the loader uses of the program. The application wires in the
// preparation and the GL context (app/shell/loaderwiring.h); tests put in
// doubles. Empty postCommand and requestRedisplay reach the running
// application.
struct LoaderServices {
    PictureFiller fill;              // required
    PictureFiller fillThumbnail;     // thumbnails; empty: fill
    // Thumbnails in two steps, so that a pool of worker threads decodes
    // them: makeThumbnail runs on a worker (no GL, no lock of the loader)
    // and returns the step that fills the record on the loader thread. It
    // may throw; the record then notes why. It polls the token and throws
    // oxCancelled once the thumbnail is no longer wanted. Empty: thumbnails
    // are filled on the loader thread.
    std::function<MadeThumbnail(const std::string& name, int edge, const oxCancelToken& cancel)> makeThumbnail;
    int thumbnailWorkers = 0; // 0: one per core
    // A file the loader rotated, changed the comment of or wrote (its
    // cached thumbnails are stale), on the loader thread. May be empty.
    std::function<void(const std::string& file)> fileChanged;
    LoaderContextFactory makeContext; // required
    std::function<void(unsigned command)> postCommand; // any thread
    std::function<void()> requestRedisplay;            // any thread
    // Failed file operations, called on the loader thread: each on its own
    // as it happens, or those of a batch together once the batch is over.
    // It must not block on the main thread. Empty: only the log hears of them.
    std::function<void(const std::vector<FileOperationFailure>& failures)> reportFailures;
};

class BGTextureLoader : public oxThread, public TextureLoader, public ThumbnailSource, public PictureOperations {
public:
    // pictures is the application's picture list (full paths), read on the
    // main thread only; it must outlive the loader.
    explicit BGTextureLoader(const std::vector<std::string>& pictures, LoaderServices services);
    ~BGTextureLoader() override;

    // Before startLoader: the main window's context and pixel format.
    void setSharedContext(void* context, int pixelFormat);
    // Starts the thread and waits (at most 5 s) until its context exists;
    // a context that could not be made current is reported here, on the
    // calling thread. False when the thread cannot be started.
    bool startLoader();
    // Finishes the file operation in progress and every queued one, drops
    // queued loads and unloads, unloads every picture and thumbnail on the
    // loader thread and stops it. Also run by the destructor.
    void shutdownLoader();

    // The picture when it is loaded (or its loading has failed: a record
    // without tiles and with a note); otherwise it is loaded first thing (a
    // first look, see setFirstLookCover) and the result is pending: the
    // loader asks for a redraw once it is ready. Either way the neighbours
    // in the list are prefetched after it and every other picture not in
    // use is unloaded. Asking for another picture cancels the decoding of
    // any picture or thumbnail but this one. Null and not pending when the
    // thread is not running (the user is told).
    PictureRequest requestPicture(const std::string& name) override;
    void releasePicture(LoadedPicture* picture) override;
    // Asks for the picture and waits until it is ready: for tests and
    // benchmarks, never for a view. The caller must not hold threadLock().
    LoadedPicture* awaitPicture(const std::string& name);

    // File operations, queued urgently. The notify code (when not 0) is
    // posted to the application once the command is done, failed or not;
    // failures go to the report hook.
    void transformPicture(const std::string& name, const oxImageTransform& transform) override;
    void convertPicture(const std::string& name, const std::string& target, int width, int height,
                        const oxToneMapping& toneMapping, unsigned notifyCode, bool replace) override;
    void copyMovePicture(const std::string& name, const std::string& target, bool copy, unsigned notifyCode,
                         bool replace) override;
    void beginBatch() override;
    void endBatch() override;

    // Makes the thumbnail set follow the picture list: missing thumbnails
    // are queued, those of names no longer listed are unloaded.
    void updateThumbnails() override;
    ThumbnailReader readThumbnail(const std::string& name) override;
    // Commands and thumbnails done and asked for since there was last
    // nothing to do.
    LoaderProgress progress() override;
    void setVisibleRange(int first, int last) override;

    // Pictures are first decoded only as large as needed to cover width x
    // height at fit zoom (where their format can decode reduced pictures
    // cheaply); the full picture replaces such a first look when a view asks
    // (completePicture). 0 x 0, the default, loads full pictures at once.
    void completePicture(LoadedPicture* picture) override;
    // While held, pictures read ahead wait in the queue (what a view waits
    // for and file operations go on): at start-up the first picture's
    // frame needs both cores, its neighbours can come a moment later.
    void holdReadAhead(bool hold) override;
    void setFirstLookCover(int width, int height)
    {
        m_coverWidth = std::max(width, 0);
        m_coverHeight = std::max(height, 0);
    }
    int firstLookCoverWidth() const { return m_coverWidth; }
    int firstLookCoverHeight() const { return m_coverHeight; }

    void setThumbnailSize(int size) override { m_thumbnailSize = size; }
    int thumbnailSize() const { return m_thumbnailSize; }
    // The most thumbnails kept as textures: beyond it those farthest from
    // the screen are dropped, and made again (from the cache) when the
    // screen comes near them. Thumbnails farther than every kept one are
    // not made.
    void setThumbnailCount(int count) override { m_thumbnailCount = std::max(count, 1); }
    int thumbnailCount() const { return m_thumbnailCount; }
    // False (and the user told why) when the log cannot be opened.
    bool setLogging(bool on);
    bool isLogging() const { return m_log.isOpen(); }
    // One line of text into the log (nothing while it is closed).
    void writeLog(const std::string& line) { m_log.writeLine(line); }

    // Queues a command and wakes the thread; a file operation joins the
    // open batch.
    void enqueue(LoaderCommand command);

    // ---- inspection (tests, diagnostics) ----
    std::vector<LoaderCommand> queuedCommands();
    std::vector<std::string> loadedNames();
    std::vector<std::string> thumbnailNames();
    // The thumbnails still to make, in the order they will be made.
    std::vector<std::string> pendingThumbnails();
    // How often the thread went round its loop; stays put while it is idle.
    uint64_t loopPasses() const { return m_loopPasses.load(); }

protected:
    void run() override;

private:
    void enqueueLocked(LoaderCommand command);
    LoadedPicture* findLoaded(const std::string& name, bool skipInUse = false);
    bool isLoaded(const std::string& name) { return findLoaded(name) != nullptr; }
    // With threadLock: the picture (not thumbnail) of name is being loaded
    // and that load has not been cancelled.
    bool isRunningLoad(const std::string& name) const
    {
        return m_runningLoad && !m_runningLoad->thumbnail && m_runningLoad->name == name && !m_cancel.cancelled();
    }
    // With threadLock: the neighbours of name in the list are prefetched (or
    // kept), every other picture not in use is unloaded. Returns name and its
    // neighbours.
    std::vector<std::string> keepAround(const std::string& name);
    // With threadLock: stops the decoding of the picture in progress unless
    // keep has its name (thumbnails are left to their own queue).
    void cancelLoadUnless(const std::vector<std::string>& keep);

    // Loader thread.
    void execute(const LoaderCommand& command);
    void execute(const UnloadCommand& command);
    void execute(const LoadCommand& command);
    // File operations: the reason when they failed.
    std::optional<std::string> execute(const TransformCommand& command);
    std::optional<std::string> execute(const ConvertCommand& command);
    std::optional<std::string> execute(const CopyMoveCommand& command);
    // Counts the operation off its batch and hands failures to the report
    // hook: at once outside a batch, else with the batch once it is over.
    void finishFileOperation(const FileOperation& operation, std::optional<FileOperationFailure> failure);
    // Reports every batch that has ended and has no command left; all of
    // them with finalAll (the thread ends).
    void reportFinishedBatches(bool finalAll = false);
    // A new record of the file, filled as a picture (a first look when
    // firstLook is set) or as a thumbnail; filled tells whether it can be
    // shown. Null when the preparation was cancelled.
    std::unique_ptr<LoadedPicture> prepareRecord(const std::string& name, bool thumbnail, bool firstLook = false,
                                                 bool* filled = nullptr, const PictureFiller* fill = nullptr);
    // Fills the thumbnail and the picture of that name again, if loaded.
    void reloadPicture(const std::string& name);
    // Fills the loaded record of that name again, prepared aside and then
    // exchanged; only while it is a first look when firstLookOnly is set.
    void refillRecord(const std::string& name, bool thumbnail, bool firstLookOnly);
    void unloadEverything();

    // The thumbnail workers (bgtexloader_thumbnails.cpp).
    struct ReadyThumbnail {
        std::string name;
        PictureFiller finish; // fills the record on the loader thread
    };
    void startThumbnailWorkers();
    // Cancels the decodes in progress, then joins; their results are dropped.
    void stopThumbnailWorkers();
    // Under m_workMutex: cancels the decodes in progress, those of names not
    // kept by keep (all without one); the workers put the names still listed
    // back to be made again.
    void cancelThumbnailsUnless(const std::function<bool(const std::string&)>& keep = {});
    // Not under m_workMutex: while a picture a view waits for is pending,
    // the workers start no thumbnail and stop those they are making.
    void holdThumbnails(bool hold);
    void notifyThumbnailWorkers();
    void thumbnailWorker();
    // Loader thread: the ready thumbnails into their records, published.
    void publishThumbnails(std::vector<ReadyThumbnail>& ready);
    // Under m_workMutex: whether the next pending thumbnail is to be made
    // within the thumbnail count; nothing left to make or publish.
    bool thumbnailWanted() const;
    bool thumbnailsIdle() const { return thumbnailsComing() == 0 && !thumbnailWanted(); }
    // Under m_workMutex: thumbnails decoding, waiting for the loader thread
    // or being published: each will take a place in the set.
    size_t thumbnailsComing() const
    {
        return m_thumbnailsMaking.size() + m_readyThumbnails.size() + m_thumbnailsPublishing;
    }
    // Under m_workMutex: the thumbnails still to make within the thumbnail
    // count (those decoding or waiting to be published, and the pending ones
    // the count lets in: as many as there is room for, or those nearer the
    // screen than the farthest kept one, which they replace).
    size_t thumbnailsLeft() const;
    // Under threadLock and m_workMutex: the thumbnails of cells on screen
    // not yet published (pending, decoding or waiting for the upload).
    size_t onScreenLeft() const;
    // Under m_workMutex: whether new thumbnails' cache writes wait until the
    // cells on screen are made.
    bool cacheWritesWait() const;
    // Under m_workMutex, held again on return: runs the oldest waiting cache
    // write without it; false when none waits.
    bool runLaterWrite(std::unique_lock<std::mutex>& work);
    // Under m_workMutex: the next thumbnail to make, if one is wanted.
    std::optional<std::string> takeThumbnail();
    // Under threadLock and m_workMutex: what thumbnailWanted knows of the
    // thumbnail set (the workers do not take threadLock, which views hold
    // while they draw).
    void refreshKeptThumbnails();
    // Loader thread: drops the thumbnails farthest from the screen beyond
    // the count less room (kept for thumbnails about to be published); they
    // are pending again.
    void dropFarthestThumbnails(size_t room = 0);
    // Loader thread: counts thumbnails published or dropped and gives free
    // heap memory back to the system after every few.
    void releaseChurnedMemory(size_t changed);
    struct Leftovers {
        bool commands = false, pictures = false, thumbnails = false;
    };
    Leftovers leftovers();
    // Through oxVerify, the first that applies; main thread only.
    static void reportLeftovers(const Leftovers& left, const char* commands, const char* pictures,
                                const char* thumbnails);
    void redisplay();

    const std::vector<std::string>& m_pictureList;
    LoaderServices m_services;

    // A batch of file operations: how many of its commands are queued or
    // running, whether it was ended, and its failures so far.
    struct Batch {
        int pending = 0;
        bool ended = false;
        std::vector<FileOperationFailure> failures;
    };

    // Guarded by threadLock().
    LoaderCommandQueue m_queue;
    std::map<unsigned, Batch> m_batches;
    unsigned m_openBatch = 0;
    unsigned m_lastBatch = 0;
    std::vector<std::unique_ptr<LoadedPicture>> m_pictures;
    std::map<std::string, std::unique_ptr<LoadedPicture>> m_thumbnails;

    // The thumbnail work, guarded by m_workMutex (taken after threadLock or
    // alone, never the other way round), so that the workers never wait for
    // a view drawing the sheet. They sleep on m_workChanged.
    std::mutex m_workMutex;
    std::condition_variable m_workChanged;
    ThumbnailQueue m_thumbnailQueue; // the thumbnails still to make (after every queued command)
    std::deque<ReadyThumbnail> m_readyThumbnails; // decoded, waiting for the loader thread
    size_t m_thumbnailsPublishing = 0;            // taken from it by the loader thread, not yet published
    // Taken by a worker, not ready yet, each with the token that stops it.
    std::map<std::string, std::shared_ptr<oxCancelToken>> m_thumbnailsMaking;
    std::deque<std::function<void()>> m_laterWrites; // cache writes of thumbnails made, oldest first
    bool m_thumbnailsHeld = false;                // see holdThumbnails
    bool m_readAheadHeld = false;                 // see holdReadAhead
    bool m_thumbnailsEnded = false;               // shutting down
    bool m_loaderMakesThumbnail = false;          // without workers: the loader thread does
    // Loader thread: when thumbnails made off screen last asked for a redraw.
    std::chrono::steady_clock::time_point m_progressRedisplayed;
    size_t m_thumbnailsKept = 0;                  // thumbnails in the set
    int64_t m_farthestKept = -1;                  // distance of the farthest from the screen
    size_t m_thumbnailsChurned = 0;               // loader thread: see releaseChurnedMemory
    size_t m_workerCount = 0;
    bool m_workersStop = false;
    std::vector<std::thread> m_workers; // loader thread only: starts and joins them
    bool m_shuttingDown = false;
    std::optional<LoadCommand> m_runningLoad; // the load in progress, if any
    // The picture a view waits for (empty: none), and whether its load ended
    // without a record to give.
    std::string m_wanted;
    bool m_wantedEnded = false;
    // Cancels the decoding of the command in progress (any thread; reset by
    // the loader thread as it takes the next command).
    oxCancelToken m_cancel;

    oxEvent m_wake;
    oxEvent m_loaded;
    oxEvent m_started;
    LoaderLog m_log;

    void* m_sharedContext = nullptr;
    int m_pixelFormat = 0;
    std::atomic<int> m_coverWidth{0}, m_coverHeight{0};
    std::atomic<int> m_thumbnailSize{32};
    std::atomic<int> m_thumbnailCount{100};
    std::atomic<uint64_t> m_loopPasses{0};
    bool m_memoryKept = false; // loader thread: commands ran since memory last went back
    std::unique_ptr<LoaderContext> m_context; // loader thread only
    // Set by the thread before it signals m_started / ends; read by the
    // main thread after that, which reports them.
    bool m_contextFailed = false;
    Leftovers m_leftAtThreadExit;
};
