// The main thread's side of the background loader and the thread's loop.
// The commands themselves are carried out in bgtexloader_commands.cpp.
#include "app/loader/bgtexloader.h"

#include "app/prepare/prepare.h"

#include "oxengine/core/catalogue.h"
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

LoaderCommand pictureCommand(int32_t kind, const std::string& name, bool thumbnail = false)
{
    LoaderCommand c;
    c.kind = kind;
    c.name = name;
    c.thumbnail = thumbnail;
    return c;
}

} // namespace

BGTextureLoader::BGTextureLoader(const std::vector<std::string>& pictures, LoaderServices services)
    : m_pictureList(pictures), m_services(std::move(services))
{
    if (!m_services.fill)
        m_services.fill = preparePicture;
    if (!m_services.makeContext)
        m_services.makeContext = makeGLLoaderContext;
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
    m_started.wait(5000);
    return true;
}

// ---- the queue ------------------------------------------------------------------------------

void BGTextureLoader::enqueueLocked(LoaderCommand command, bool urgent)
{
    const size_t replaced = m_queue.enqueue(command, urgent);
    m_commandsQueued = std::max(0, m_commandsQueued + 1 - int(replaced));
    m_wake.signal();
}

void BGTextureLoader::enqueueCommand(int kindWord, const std::string& name, const oxImageTransform& transform,
                                     const std::string& target, int parameterA, int parameterB,
                                     const oxToneMapping& toneMapping, int notifyCode)
{
    LoaderCommand c;
    c.kind = kindWord & CMD_KIND_MASK;
    c.thumbnail = (kindWord & CMD_THUMBNAIL) != 0;
    c.name = name;
    c.target = target;
    c.transform = transform;
    c.toneMapping = toneMapping;
    c.parameterA = parameterA;
    c.parameterB = parameterB;
    c.notifyCode = notifyCode;
    oxLock lock(threadLock());
    enqueueLocked(std::move(c), (kindWord & CMD_URGENT) != 0);
}

void BGTextureLoader::transformPicture(const std::string& name, const oxImageTransform& transform)
{
    enqueueCommand(CMD_TRANSFORM | CMD_URGENT, name, transform);
}

void BGTextureLoader::convertPicture(const std::string& name, const std::string& target, int width, int height,
                                     const oxToneMapping& toneMapping, unsigned notifyCode)
{
    enqueueCommand(CMD_CONVERT | CMD_URGENT, name, {}, target, width, height, toneMapping, notifyCode);
}

void BGTextureLoader::copyMovePicture(const std::string& name, const std::string& target, bool copy,
                                      unsigned notifyCode)
{
    enqueueCommand(CMD_COPY_MOVE | CMD_URGENT, name, {}, target, copy ? 1 : 0, 0, oxToneMapping::neutral(),
                   notifyCode);
}

// ---- pictures --------------------------------------------------------------------------------

LoadedPicture* BGTextureLoader::findLoaded(const std::string& name, bool skipInUse)
{
    for (auto& p : m_pictures)
        if (p->name == name && !(skipInUse && p->useCount > 0))
            return p.get();
    return nullptr;
}

LoadedPicture* BGTextureLoader::acquirePicture(const std::string& name)
{
    oxLock lock(threadLock());
    LoadedPicture* picture = findLoaded(name);
    if (!picture && isRunning() && !m_shuttingDown) {
        enqueueLocked(pictureCommand(CMD_LOAD, name), true);
        while (!(picture = findLoaded(name)) && isRunning()) {
            // A load that ended without a record (it could not even make one)
            // must not keep the caller waiting.
            if (!m_queue.hasLoad(name, false) && m_runningLoad != name)
                return nullptr;
            threadLock().leave();
            if (m_loaded.wait(1000) == oxEvent::WAIT_TIMEOUT)
                m_wake.signal(); // a fallback: the thread can never sleep through a queued load
            threadLock().enter();
        }
    }
    if (!picture) {
        if (!isRunning()) {
            threadLock().leave();
            oxShowMessage(oxGetTranslation("BGTextureLoader: Thread is no longer running, can't load any images!"),
                          std::string());
            threadLock().enter();
        }
        return nullptr;
    }
    ++picture->useCount;
    picture->inUse = true;
    if (m_queue.cancelUnload(name, false))
        m_commandsQueued = std::max(0, m_commandsQueued - 1);

    // Prefetch the neighbours, keep them if they are there already.
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
    m_commandsQueued = std::max(0, m_commandsQueued - int(m_queue.dropLoadsUnless(false, kept)));
    for (size_t i = 1; i < keep.size(); ++i) {
        if (isLoaded(keep[i])) {
            if (m_queue.cancelUnload(keep[i], false))
                m_commandsQueued = std::max(0, m_commandsQueued - 1);
        } else {
            enqueueLocked(pictureCommand(CMD_LOAD, keep[i]), false);
        }
    }
    // The full picture after the neighbours: a first look already shows the
    // picture as fitted, the neighbours make the next step quick.
    bool isFirstLook = false;
    {
        oxLock recordLock(picture->lock);
        isFirstLook = picture->firstLook;
    }
    if (isFirstLook) {
        LoaderCommand full = pictureCommand(CMD_LOAD, name);
        full.parameterA = LOAD_FULL_AFTER_FIRST_LOOK;
        enqueueLocked(full, false);
    }
    for (auto& p : m_pictures) {
        if (p->useCount > 0 || kept(p->name))
            continue;
        enqueueLocked(pictureCommand(CMD_UNLOAD, p->name), false);
    }
    return picture;
}

void BGTextureLoader::releasePicture(LoadedPicture* picture)
{
    oxLock lock(threadLock());
    for (auto& p : m_pictures)
        if (p.get() == picture && p->useCount > 0) {
            p->inUse = --p->useCount > 0;
            return;
        }
}

// ---- thumbnails --------------------------------------------------------------------------------

void BGTextureLoader::updateThumbnails()
{
    oxLock lock(threadLock());
    for (auto& [name, t] : m_thumbnails)
        t->wanted = false;
    std::unordered_set<std::string> listed(m_pictureList.begin(), m_pictureList.end());
    // Loads for an earlier list would only fill the set with unwanted work.
    m_commandsQueued = std::max(
        0, m_commandsQueued - int(m_queue.dropLoadsUnless(true, [&](const std::string& n) { return listed.count(n) > 0; })));
    for (const std::string& name : m_pictureList) {
        auto it = m_thumbnails.find(name);
        if (it != m_thumbnails.end()) {
            it->second->wanted = true;
            // Wanted again before an earlier update's unload ran.
            if (m_queue.cancelUnload(name, true))
                m_commandsQueued = std::max(0, m_commandsQueued - 1);
            continue;
        }
        enqueueLocked(pictureCommand(CMD_LOAD, name, true), false);
    }
    for (auto& [name, t] : m_thumbnails) {
        if (t->wanted)
            continue;
        enqueueLocked(pictureCommand(CMD_UNLOAD, name, true), true);
    }
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
    return {m_commandsDone, m_commandsQueued};
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

// ---- the thread -------------------------------------------------------------------------------------

void BGTextureLoader::run()
{
    m_context = m_services.makeContext(m_pixelFormat, m_sharedContext);
    m_log.write("Win,RC created\n");
    if (!m_context || !m_context->makeCurrent())
        oxShowMessage(oxGetTranslation("BGTextureLoader: MakeCurrent failed."), std::string());
    m_started.signal();

    for (;;) {
        ++m_loopPasses;
        std::optional<LoaderCommand> command;
        bool finishedBatch = false;
        {
            oxLock lock(threadLock());
            if (m_queue.empty() && (m_commandsDone || m_commandsQueued)) {
                m_commandsDone = m_commandsQueued = 0;
                finishedBatch = true;
            }
            command = m_queue.takeFront();
            if (command && command->kind == CMD_LOAD && !command->thumbnail)
                m_runningLoad = command->name;
        }
        if (finishedBatch)
            redisplay(); // the progress display goes away
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
        executeSafely(*command);
        m_memoryKept = true;
        if (command->notifyCode)
            m_services.postCommand(unsigned(command->notifyCode));
        {
            oxLock lock(threadLock());
            ++m_commandsDone;
            m_runningLoad.clear();
        }
        if (command->kind == CMD_LOAD && !command->thumbnail)
            m_loaded.signal(); // also after a load that published nothing
        m_log.write(": %g ms\n", double(timer.elapsed(oxTimer::Microseconds)) / 1000.0);
    }

    // Whatever a command still in progress at the stop published goes here,
    // in the context that made it.
    unloadEverything();
    m_context.reset();
    reportLeftovers(N_("BGTL: Commands left over on thread exit"), N_("BGTL: Textures left over on thread exit"),
                    N_("BGTL: Thumbnails left over on thread exit"));
}

void BGTextureLoader::reportLeftovers(const char* commands, const char* pictures, const char* thumbnails)
{
    bool noCommands, noPictures, noThumbnails;
    {
        oxLock lock(threadLock());
        noCommands = m_queue.empty();
        noPictures = m_pictures.empty();
        noThumbnails = m_thumbnails.empty();
    }
    // The first that applies; the box is shown without the lock.
    if (oxVerify(noCommands, commands) && oxVerify(noPictures, pictures))
        oxVerify(noThumbnails, thumbnails);
}

void BGTextureLoader::shutdownLoader()
{
    if (isRunning()) {
        {
            oxLock lock(threadLock());
            m_shuttingDown = true;
            // Loads and unloads only serve the views, which are gone; file
            // operations are what the user asked for and are carried out.
            m_commandsQueued = std::max(0, m_commandsQueued - int(m_queue.dropLoadsAndUnloads()));
            auto unload = [this](const std::string& name, bool thumbnail) {
                LoaderCommand c;
                c.kind = CMD_UNLOAD;
                c.thumbnail = thumbnail;
                c.name = name;
                c.force = true;
                enqueueLocked(c, false);
            };
            for (const auto& p : m_pictures)
                unload(p->name, false);
            for (const auto& [name, t] : m_thumbnails)
                unload(name, true);
        }
        // Stop first, then wake: the thread then cannot miss the request.
        requestStop();
        m_wake.signal();
        waitFinished(-1);
    }
    reportLeftovers(N_("BGTL: Commands left over on exit"), N_("BGTL: Textures left over on exit"),
                    N_("BGTL: Thumbnails left over on exit"));
    m_log.setOpen(false);
}
