// The main thread's side of the background loader and the thread's loop.
// The commands themselves are carried out in bgtexloader_commands.cpp.
#include "app/loader/bgtexloader.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/startuptrace.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/memory.h"
#include "oxengine/core/strings.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace {

// How long an idle loader keeps freed picture memory mapped.
constexpr int MEMORY_KEPT_MS = 2000;

} // namespace

BGTextureLoader::BGTextureLoader(const std::vector<std::string>& pictures, LoaderServices services)
    : m_pictureList(pictures), m_services(std::move(services))
{
    oxAssert(m_services.fill && m_services.makeContext, "the loader needs a preparation and a GL context factory");
    if (!m_services.postCommand)
        m_services.postCommand = [](unsigned command) {
            if (theApplication)
                theApplication->postCommand(command);
        };
    if (!m_services.requestRedisplay)
        m_services.requestRedisplay = [] {
            if (theApplication)
                theApplication->postRedisplayFromAnyThread();
        };
}

BGTextureLoader::~BGTextureLoader()
{
    // The body uses this object's members: it must end before they go.
    shutdownLoader();
}

void BGTextureLoader::setSharedContext(void* context, int pixelFormat)
{
    m_sharedContext = context;
    m_pixelFormat = pixelFormat;
}

bool BGTextureLoader::startLoader()
{
    if (!start())
        return false;
    if (m_started.wait(5000) == oxEvent::WAIT_SIGNALLED && m_contextFailed)
        oxShowMessage(oxGetTranslation("BGTextureLoader: MakeCurrent failed."), std::string());
    return true;
}

// ---- the queue ------------------------------------------------------------------------------

void BGTextureLoader::enqueueLocked(LoaderCommand command)
{
    if (FileOperation* operation = fileOperation(command); operation && m_openBatch) {
        operation->batch = m_openBatch;
        ++m_batches[m_openBatch].pending;
    }
    m_queue.enqueue(std::move(command));
    m_wake.signal();
}

void BGTextureLoader::enqueue(LoaderCommand command)
{
    oxLock lock(threadLock());
    enqueueLocked(std::move(command));
}

void BGTextureLoader::transformPicture(const std::string& name, const oxImageTransform& transform)
{
    TransformCommand c;
    c.name = name;
    c.transform = transform;
    enqueue(std::move(c));
}

void BGTextureLoader::convertPicture(const std::string& name, const std::string& target, int width, int height,
                                     const oxToneMapping& toneMapping, unsigned notifyCode, bool replace)
{
    ConvertCommand c;
    c.name = name;
    c.notifyCode = notifyCode;
    c.target = target;
    c.width = width;
    c.height = height;
    c.toneMapping = toneMapping;
    c.replace = replace;
    enqueue(std::move(c));
}

void BGTextureLoader::copyMovePicture(const std::string& name, const std::string& target, bool copy,
                                      unsigned notifyCode, bool replace)
{
    CopyMoveCommand c;
    c.name = name;
    c.notifyCode = notifyCode;
    c.target = target;
    c.copy = copy;
    c.replace = replace;
    enqueue(std::move(c));
}

void BGTextureLoader::beginBatch()
{
    oxLock lock(threadLock());
    if (m_openBatch)
        m_batches[m_openBatch].ended = true; // batches do not nest
    m_openBatch = ++m_lastBatch == 0 ? ++m_lastBatch : m_lastBatch;
    m_batches[m_openBatch];
}

void BGTextureLoader::endBatch()
{
    oxLock lock(threadLock());
    if (!m_openBatch)
        return;
    m_batches[m_openBatch].ended = true;
    m_openBatch = 0;
    // Its commands may all be done already: the thread reports it.
    m_wake.signal();
}

// ---- pictures --------------------------------------------------------------------------------

LoadedPicture* BGTextureLoader::findLoaded(const std::string& name, bool skipInUse)
{
    for (auto& p : m_pictures)
        if (p->name == name && !(skipInUse && p->inUse()))
            return p.get();
    return nullptr;
}

std::vector<std::string> BGTextureLoader::keepAround(const std::string& name)
{
    std::vector<std::string> keep{name};
    const auto at = std::find(m_pictureList.begin(), m_pictureList.end(), name);
    if (at != m_pictureList.end()) {
        if (at != m_pictureList.begin())
            keep.push_back(*(at - 1));
        if (at + 1 != m_pictureList.end())
            keep.push_back(*(at + 1));
    }
    // Prefetches for pictures shown before are no longer wanted.
    const auto kept = [&](const std::string& n) { return std::find(keep.begin(), keep.end(), n) != keep.end(); };
    m_queue.dropLoadsUnless(false, kept);
    for (size_t i = 1; i < keep.size(); ++i) {
        if (isLoaded(keep[i]))
            m_queue.cancelUnload(keep[i], false);
        else if (!isRunningLoad(keep[i]))
            enqueueLocked(LoadCommand{.name = keep[i]});
    }
    for (auto& p : m_pictures) {
        if (p->inUse() || kept(p->name))
            continue;
        enqueueLocked(UnloadCommand{.name = p->name});
    }
    return keep;
}

void BGTextureLoader::cancelLoadUnless(const std::vector<std::string>& keep)
{
    if (!m_runningLoad || m_runningLoad->thumbnail)
        return;
    if (std::find(keep.begin(), keep.end(), m_runningLoad->name) != keep.end())
        return;
    m_cancel.cancel();
}

PictureRequest BGTextureLoader::requestPicture(const std::string& name)
{
    oxLock lock(threadLock());
    if (LoadedPicture* picture = findLoaded(name)) {
        m_wanted.clear(); // nothing is waited for
        holdThumbnails(false);
        ++picture->useCount;
        m_queue.cancelUnload(name, false);
        cancelLoadUnless(keepAround(name));
        return {picture, false};
    }
    if (!isRunning() || m_shuttingDown) {
        if (!isRunning()) {
            threadLock().leave();
            oxShowMessage(oxGetTranslation("BGTextureLoader: Thread is no longer running, can't load any images!"),
                          std::string());
            threadLock().enter();
        }
        return {};
    }
    // A load of it that was cancelled (it was not wanted a moment ago) is
    // still running out: it has to be done again.
    const bool running = isRunningLoad(name);
    if (m_wanted == name && m_wantedEnded) {
        // Its load could not even make a record; asking again tries again.
        m_wanted.clear();
        holdThumbnails(false);
        return {};
    }
    if (m_wanted == name && (running || m_queue.hasLoad(name, false)))
        return {nullptr, true};
    m_wanted = name;
    m_wantedEnded = false;
    // It comes first: every other picture's decoding stops (and is done
    // again later if it is still wanted).
    cancelLoadUnless({name});
    holdThumbnails(true);
    if (!running)
        enqueueLocked(LoadCommand{.name = name, .urgent = true});
    keepAround(name);
    return {nullptr, true};
}

LoadedPicture* BGTextureLoader::awaitPicture(const std::string& name)
{
    for (;;) {
        const PictureRequest request = requestPicture(name);
        if (!request.pending)
            return request.picture;
        if (m_loaded.wait(1000) == oxEvent::WAIT_TIMEOUT)
            m_wake.signal(); // a fallback: the thread can never sleep through a queued load
    }
}

void BGTextureLoader::completePicture(LoadedPicture* picture)
{
    oxLock lock(threadLock());
    const auto held = std::find_if(m_pictures.begin(), m_pictures.end(), [&](const auto& p) { return p.get() == picture; });
    if (held == m_pictures.end() || m_shuttingDown)
        return;
    {
        oxLock recordLock(picture->lock);
        if (!picture->firstLook)
            return;
    }
    // Asked at every frame while zoomed in: one load is enough.
    if (m_queue.hasLoad(picture->name, false) || (m_runningLoad && m_runningLoad->fullAfterFirstLook &&
                                                  m_runningLoad->name == picture->name))
        return;
    // Before the neighbours: the user looks at this one.
    enqueueLocked(LoadCommand{.name = picture->name, .urgent = true, .fullAfterFirstLook = true});
}

void BGTextureLoader::holdReadAhead(bool hold)
{
    {
        oxLock lock(threadLock());
        std::lock_guard<std::mutex> work(m_workMutex);
        m_readAheadHeld = hold;
    }
    if (!hold)
        m_wake.signal();
}

void BGTextureLoader::releasePicture(LoadedPicture* picture)
{
    oxLock lock(threadLock());
    for (auto& p : m_pictures)
        if (p.get() == picture && p->inUse()) {
            --p->useCount;
            return;
        }
}

// ---- thumbnails --------------------------------------------------------------------------------

void BGTextureLoader::updateThumbnails()
{
    oxLock lock(threadLock());
    for (auto& [name, t] : m_thumbnails)
        t->wanted = false;
    bool pending = false;
    {
        std::lock_guard<std::mutex> work(m_workMutex);
        m_thumbnailQueue.setList(m_pictureList, [&](const std::string& name) {
            auto it = m_thumbnails.find(name);
            if (it == m_thumbnails.end())
                return true;
            it->second->wanted = true;
            // Wanted again before an earlier update's unload ran.
            m_queue.cancelUnload(name, true);
            return false;
        });
        refreshKeptThumbnails();
        pending = m_thumbnailQueue.pending() > 0;
        // A folder left: its decodes stop at once.
        cancelThumbnailsUnless([this](const std::string& name) { return m_thumbnailQueue.indexOf(name) >= 0; });
    }
    for (auto& [name, t] : m_thumbnails) {
        if (t->wanted)
            continue;
        enqueueLocked(UnloadCommand{.name = name, .thumbnail = true, .urgent = true});
    }
    if (pending) {
        m_wake.signal();
        notifyThumbnailWorkers();
    }
}

void BGTextureLoader::setVisibleRange(int first, int last)
{
    oxLock lock(threadLock());
    {
        std::lock_guard<std::mutex> work(m_workMutex);
        m_thumbnailQueue.setVisible(first, last);
        refreshKeptThumbnails();
    }
    // Thumbnails beyond the count may be wanted now.
    m_wake.signal();
    notifyThumbnailWorkers();
}

ThumbnailReader BGTextureLoader::readThumbnail(const std::string& name)
{
    oxLock lock(threadLock());
    auto it = m_thumbnails.find(name);
    if (it == m_thumbnails.end())
        return {};
    return ThumbnailReader(threadLock(), *it->second);
}

LoaderProgress BGTextureLoader::progress()
{
    oxLock lock(threadLock());
    std::lock_guard<std::mutex> work(m_workMutex);
    const int thumbnailsDone = m_thumbnailQueue.doneCount();
    return {m_queue.doneCount() + thumbnailsDone, m_queue.queuedCount() + thumbnailsDone + int(thumbnailsLeft())};
}

bool BGTextureLoader::setLogging(bool on)
{
    std::string error;
    if (m_log.setOpen(on, &error))
        return true;
    oxShowMessage(formatString(oxGetTranslation("The log file \"%s\" cannot be opened:\n%s"), LoaderLog::path().c_str(),
                               error.c_str()),
                  std::string(), MB_OK, MI_ERROR);
    return false;
}

// ---- inspection ----------------------------------------------------------------------------------

std::vector<LoaderCommand> BGTextureLoader::queuedCommands()
{
    oxLock lock(threadLock());
    return {m_queue.commands().begin(), m_queue.commands().end()};
}

std::vector<std::string> BGTextureLoader::loadedNames()
{
    oxLock lock(threadLock());
    std::vector<std::string> names;
    for (const auto& p : m_pictures)
        names.push_back(p->name);
    return names;
}

std::vector<std::string> BGTextureLoader::thumbnailNames()
{
    oxLock lock(threadLock());
    std::vector<std::string> names;
    for (const auto& [name, t] : m_thumbnails)
        names.push_back(name);
    return names;
}

std::vector<std::string> BGTextureLoader::pendingThumbnails()
{
    std::lock_guard<std::mutex> work(m_workMutex);
    return m_thumbnailQueue.pendingInOrder();
}

// ---- the thread -------------------------------------------------------------------------------------

void BGTextureLoader::run()
{
    m_context = m_services.makeContext(m_pixelFormat, m_sharedContext);
    m_log.write("Win,RC created\n");
    oxMarkStartup("loader context ready");
    // Told by startLoader: no box comes from this thread.
    m_contextFailed = !m_context || !m_context->makeCurrent();
    m_started.signal();
    startThumbnailWorkers();

    for (;;) {
        ++m_loopPasses;
        reportFinishedBatches();
        std::optional<LoaderCommand> command;
        bool finishedWork = false;
        bool fullLoad = false;
        bool thumbnailWork = false;
        std::vector<ReadyThumbnail> ready;
        {
            oxLock lock(threadLock());
            std::lock_guard<std::mutex> work(m_workMutex);
            // Commands first, then the thumbnails still to make.
            if (m_queue.empty() && thumbnailsIdle()) {
                finishedWork = m_queue.resetCountersWhenEmpty();
                finishedWork = m_thumbnailQueue.resetCounters() || finishedWork;
            }
            if (!m_readAheadHeld || !m_queue.frontIsReadAhead())
                command = m_queue.takeFront();
            if (!m_shuttingDown)
                m_cancel.reset();
            if (!command && !m_readyThumbnails.empty() && !m_shuttingDown) {
                // Every ready one at once: one wait for the GL and one redisplay.
                ready.assign(std::make_move_iterator(m_readyThumbnails.begin()),
                             std::make_move_iterator(m_readyThumbnails.end()));
                m_readyThumbnails.clear();
                m_thumbnailsPublishing = ready.size();
            } else if (!command && !m_shuttingDown && m_workers.empty())
                if (std::optional<std::string> name = takeThumbnail()) {
                    command = LoadCommand{.name = std::move(*name), .thumbnail = true};
                    thumbnailWork = m_loaderMakesThumbnail = true;
                }
            if (command)
                if (const auto* load = std::get_if<LoadCommand>(&*command)) {
                    m_runningLoad = *load;
                    fullLoad = !load->thumbnail;
                }
        }
        if (finishedWork)
            redisplay(); // the progress display goes away
        if (!ready.empty()) {
            notifyThumbnailWorkers(); // room for the next ones
            if (m_context && !m_context->isCurrent())
                m_context->makeCurrent();
            publishThumbnails(ready);
            m_memoryKept = true;
            continue;
        }
        if (!command) {
            if (isStopRequested())
                break;
            // Every enqueue signals: no periodic wake-ups while idle. What
            // the last pictures freed stays mapped while the user flips on
            // (the next picture reuses it) and goes back after a pause.
            if (!m_memoryKept || m_wake.wait(MEMORY_KEPT_MS) == oxEvent::WAIT_TIMEOUT) {
                if (m_memoryKept)
                    oxReleaseFreeMemory();
                m_memoryKept = false;
                m_wake.wait(oxEvent::INFINITE);
            }
            continue;
        }
        if (m_context && !m_context->isCurrent())
            m_context->makeCurrent();
        oxTimer timer;
        timer.restart();
        execute(*command);
        m_memoryKept = true;
        if (const FileOperation* operation = fileOperation(*command); operation && operation->notifyCode)
            m_services.postCommand(operation->notifyCode);
        bool wantedEnded = false, wantedReady = false;
        {
            oxLock lock(threadLock());
            std::lock_guard<std::mutex> work(m_workMutex);
            if (thumbnailWork) {
                m_thumbnailQueue.markDone();
                m_loaderMakesThumbnail = false;
            }
            else
                m_queue.markDone();
            // The picture a view waits for got no record (not even one
            // with a note): the view is told, not left waiting.
            if (fullLoad && m_runningLoad->name == m_wanted && !m_cancel.cancelled()) {
                wantedReady = true;
                if (!isLoaded(m_wanted))
                    wantedEnded = m_wantedEnded = true;
            }
            m_runningLoad.reset();
            // A thumbnail may have come or gone.
            refreshKeptThumbnails();
        }
        if (wantedReady)
            holdThumbnails(false);
        if (wantedEnded)
            redisplay();
        if (thumbnailWork)
            dropFarthestThumbnails();
        if (fullLoad)
            m_loaded.signal(); // also after a load that published nothing
        m_log.write(": %g ms\n", double(timer.elapsed(oxTimer::Microseconds)) / 1000.0);
    }

    stopThumbnailWorkers();
    // Whatever a command still in progress at the stop published goes here,
    // in the context that made it.
    unloadEverything();
    m_context.reset();
    reportFinishedBatches(true);
    m_leftAtThreadExit = leftovers();
}

BGTextureLoader::Leftovers BGTextureLoader::leftovers()
{
    oxLock lock(threadLock());
    return {!m_queue.empty(), !m_pictures.empty(), !m_thumbnails.empty()};
}

void BGTextureLoader::reportLeftovers(const Leftovers& left, const char* commands, const char* pictures,
                                      const char* thumbnails)
{
    if (oxVerify(!left.commands, commands) && oxVerify(!left.pictures, pictures))
        oxVerify(!left.thumbnails, thumbnails);
}

void BGTextureLoader::shutdownLoader()
{
    if (isRunning()) {
        {
            oxLock lock(threadLock());
            m_shuttingDown = true;
            m_wanted.clear();
            // Loads and unloads only serve the views, which are gone: a
            // decoding in progress stops at its next band of rows. File
            // operations are what the user asked for and are carried out.
            m_cancel.cancel();
            m_queue.dropLoadsAndUnloads();
            {
                std::lock_guard<std::mutex> work(m_workMutex);
                m_thumbnailQueue.clear();
                // The workers take nothing more.
                m_thumbnailsEnded = true;
                cancelThumbnailsUnless();
            }
            for (const auto& p : m_pictures)
                enqueueLocked(UnloadCommand{.name = p->name, .force = true});
            for (const auto& [name, t] : m_thumbnails)
                enqueueLocked(UnloadCommand{.name = name, .thumbnail = true, .force = true});
        }
        // Stop first, then wake: the thread then cannot miss the request.
        requestStop();
        m_wake.signal();
        waitFinished(-1);
        // What the thread found when it ended, reported here rather than
        // from a box of the loader thread.
        reportLeftovers(m_leftAtThreadExit, N_("BGTL: Commands left over on thread exit"),
                        N_("BGTL: Textures left over on thread exit"), N_("BGTL: Thumbnails left over on thread exit"));
        m_leftAtThreadExit = {};
    }
    reportLeftovers(leftovers(), N_("BGTL: Commands left over on exit"), N_("BGTL: Textures left over on exit"),
                    N_("BGTL: Thumbnails left over on exit"));
    m_log.setOpen(false);
}
