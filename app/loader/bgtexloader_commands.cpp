// The background loader's commands, carried out on its thread. Decoding and
// file work run without threadLock; it is taken only to find and publish
// records.
#include "app/loader/bgtexloader.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/storage/fileops.h"

#include <sys/stat.h>

#include <new>

namespace {

// Runs work; an exception becomes the reason of the failure. Nothing may
// escape: the operation must still be counted off its batch.
// The user was asked before the operation was queued; a target that exists
// without that consent (it appeared since) stays as it is.
std::string targetExistsReason(const std::string& target)
{
    return formatString(oxGetTranslation("The file \"%s\" already exists and was left as it is."), target.c_str());
}

template <class Work> std::optional<std::string> reasonOfFailure(Work work)
{
    try {
        work();
        return std::nullopt;
    } catch (const oxException& e) {
        return e.getMessage();
    } catch (const std::bad_alloc&) {
        return oxGetTranslation("not enough memory");
    } catch (const std::exception& e) {
        return std::string(e.what());
    } catch (...) {
        return oxGetTranslation("unknown error");
    }
}

FileOperationFailure::Operation operationOf(const TransformCommand&)
{
    return FileOperationFailure::TRANSFORM;
}
FileOperationFailure::Operation operationOf(const ConvertCommand&)
{
    return FileOperationFailure::CONVERT;
}
FileOperationFailure::Operation operationOf(const CopyMoveCommand& c)
{
    return c.copy ? FileOperationFailure::COPY : FileOperationFailure::MOVE;
}
std::string targetOf(const TransformCommand&)
{
    return {};
}
template <class Command> std::string targetOf(const Command& c)
{
    return c.target;
}

template <class Command> FileOperationFailure failureFor(const Command& c, std::string reason)
{
    FileOperationFailure f;
    f.operation = operationOf(c);
    f.name = c.name;
    f.target = targetOf(c);
    f.reason = std::move(reason);
    f.batch = c.batch;
    return f;
}

// Where a copy or move put the file: into target when that is a folder.
std::string placedAt(const std::string& source, const std::string& target)
{
    struct stat st;
    if (stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return target;
    const size_t slash = source.find_last_of('/');
    std::string folder = target;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return (folder == "/" ? "" : folder) + "/" + (slash == std::string::npos ? source : source.substr(slash + 1));
}

} // namespace

void BGTextureLoader::redisplay()
{
    m_services.requestRedisplay();
}

void BGTextureLoader::execute(const LoaderCommand& command)
{
    // The last line of defence: nothing a load or unload throws may end the
    // thread (file operations catch their own).
    try {
        std::visit(
            [this](const auto& c) {
                if constexpr (std::is_base_of_v<FileOperation, std::decay_t<decltype(c)>>) {
                    std::optional<std::string> reason = execute(c);
                    finishFileOperation(c, reason ? std::optional(failureFor(c, std::move(*reason))) : std::nullopt);
                } else {
                    execute(c);
                }
            },
            command);
    } catch (const std::exception& e) {
        m_log.write("Error %s: %s", commandFile(command).c_str(), e.what());
    } catch (...) {
        m_log.write("Error %s", commandFile(command).c_str());
    }
}

void BGTextureLoader::finishFileOperation(const FileOperation& operation, std::optional<FileOperationFailure> failure)
{
    if (failure)
        m_log.write(" Error: %s", failure->reason.c_str());
    if (!operation.batch) {
        if (failure && m_services.reportFailures)
            m_services.reportFailures({*failure});
        return;
    }
    oxLock lock(threadLock());
    Batch& batch = m_batches[operation.batch];
    --batch.pending;
    if (failure)
        batch.failures.push_back(std::move(*failure));
}

void BGTextureLoader::reportFinishedBatches(bool finalAll)
{
    std::vector<std::vector<FileOperationFailure>> reports;
    {
        oxLock lock(threadLock());
        for (auto it = m_batches.begin(); it != m_batches.end();) {
            if (!finalAll && !(it->second.ended && it->second.pending <= 0)) {
                ++it;
                continue;
            }
            if (!it->second.failures.empty())
                reports.push_back(std::move(it->second.failures));
            if (m_openBatch == it->first)
                m_openBatch = 0;
            it = m_batches.erase(it);
        }
    }
    if (m_services.reportFailures)
        for (const auto& failures : reports)
            m_services.reportFailures(failures);
}

void BGTextureLoader::execute(const UnloadCommand& command)
{
    m_log.write("Unload %s ", command.name.c_str());
    std::unique_ptr<LoadedPicture> gone;
    {
        oxLock lock(threadLock());
        if (command.thumbnail) {
            auto it = m_thumbnails.find(command.name);
            if (it != m_thumbnails.end()) {
                gone = std::move(it->second);
                m_thumbnails.erase(it);
            }
        } else {
            // A view may have taken the picture again since the unload was
            // queued; only the shut-down removes pictures in use.
            for (auto it = m_pictures.begin(); it != m_pictures.end(); ++it)
                if ((*it)->name == command.name && (command.force || (*it)->useCount == 0)) {
                    gone = std::move(*it);
                    m_pictures.erase(it);
                    break;
                }
        }
    }
    if (gone)
        fillLoadedPicture(m_services.fill, *gone, std::string(), m_cancel); // releases the tiles
}

std::unique_ptr<LoadedPicture> BGTextureLoader::prepareRecord(const std::string& name, bool thumbnail, bool firstLook,
                                                             bool* filled, const PictureFiller* given)
{
    auto record = std::make_unique<LoadedPicture>();
    const int size = thumbnail ? m_thumbnailSize.load() : 0;
    record->imageWidth = size;
    record->imageHeight = size;
    if (firstLook && !thumbnail) {
        record->coverWidth = m_coverWidth.load();
        record->coverHeight = m_coverHeight.load();
    }
    std::string error;
    const PictureFiller& fill = given                                     ? *given
                                : thumbnail && m_services.fillThumbnail ? m_services.fillThumbnail
                                                                        : m_services.fill;
    bool ok = false;
    try {
        ok = fillLoadedPicture(fill, *record, name, m_cancel, &error);
    } catch (const oxCancelled&) {
        m_log.write("Cancelled %s ", name.c_str());
        return nullptr;
    }
    if (filled)
        *filled = ok;
    if (!error.empty())
        m_log.write("Error Load %s: %s", name.c_str(), error.c_str());
    if (m_context)
        m_context->finish();
    return record;
}

void BGTextureLoader::execute(const LoadCommand& command)
{
    m_log.write("Load %s ", command.name.c_str());
    if (command.fullAfterFirstLook) {
        refillRecord(command.name, false, true);
        return;
    }
    {
        oxLock lock(threadLock());
        // Asked for twice while the first load ran: one record is enough.
        if (command.thumbnail ? m_thumbnails.count(command.name) > 0 : isLoaded(command.name))
            return;
    }
    // Pictures come as first looks (at screen size where the format decodes
    // reduced cheaply), the shown one and its neighbours alike: their full
    // detail only when a view zooms in past it.
    std::unique_ptr<LoadedPicture> record = prepareRecord(command.name, command.thumbnail, !command.thumbnail);
    bool wanted = false;
    {
        oxLock lock(threadLock());
        wanted = !command.thumbnail && command.name == m_wanted;
        if (!record) {
            // Cancelled: dropped (a stop, or a newer picture was asked for).
            return;
        }
        if (command.thumbnail)
            m_thumbnails[command.name] = std::move(record);
        else
            m_pictures.push_back(std::move(record));
    }
    // The view waiting for it picks it up at its next redraw.
    if (command.thumbnail || wanted)
        redisplay();
}

void BGTextureLoader::reloadPicture(const std::string& name)
{
    if (m_services.fileChanged)
        m_services.fileChanged(name);
    for (bool thumbnail : {true, false})
        refillRecord(name, thumbnail, false);
}

void BGTextureLoader::refillRecord(const std::string& name, bool thumbnail, bool firstLookOnly)
{
    const auto loaded = [&]() -> LoadedPicture* {
        if (!thumbnail)
            return findLoaded(name);
        auto it = m_thumbnails.find(name);
        return it == m_thumbnails.end() ? nullptr : it->second.get();
    };
    {
        oxLock lock(threadLock());
        LoadedPicture* target = m_shuttingDown ? nullptr : loaded();
        if (!target)
            return;
        oxLock recordLock(target->lock);
        if (firstLookOnly && !target->firstLook)
            return;
    }
    // Prepared aside, so a view drawing the old picture is not held up
    // by the decoding; then exchanged under the record's lock.
    bool filled = false;
    std::unique_ptr<LoadedPicture> fresh = prepareRecord(name, thumbnail, false, &filled);
    if (!fresh)
        return; // cancelled: the record keeps what it has
    {
        oxLock lock(threadLock());
        if (LoadedPicture* target = loaded()) {
            oxLock recordLock(target->lock);
            if (firstLookOnly && !filled) {
                // The file could be read a moment ago: keep showing what was
                // read then, at its own size, rather than nothing.
                target->firstLook = false;
            } else {
                target->swapContents(*fresh);
            }
        }
    }
    // fresh now holds the old tiles, released here on this thread.
    {
        oxLock freshLock(fresh->lock);
        fresh->releaseTiles();
    }
    if (firstLookOnly)
        redisplay();
}

std::optional<std::string> BGTextureLoader::execute(const TransformCommand& command)
{
    m_log.write("Transform %s ", command.name.c_str());
    std::optional<std::string> failure =
        reasonOfFailure([&] { oxImageRegistry::instance().transformFile(command.name, command.transform); });
    if (failure)
        return failure;
    reloadPicture(command.name);
    redisplay();
    return std::nullopt;
}

std::optional<std::string> BGTextureLoader::execute(const ConvertCommand& command)
{
    m_log.write("Convert %s to %s, size=(%d,%d)", command.name.c_str(), command.target.c_str(), command.width,
                command.height);
    struct stat existing;
    if (!command.replace && lstat(command.target.c_str(), &existing) == 0)
        return targetExistsReason(command.target);
    // The save replaces the target in one step, so converting a picture
    // onto itself keeps it whole whatever happens.
    std::optional<std::string> failure = reasonOfFailure([&] {
        std::unique_ptr<oxImage> image = oxImageRegistry::instance().loadImage(command.name, oxSize(0, 0));
        const int64_t width = image->width(), height = image->height();
        const int64_t newWidth = conversionSide(width, command.width, height, command.height);
        const int64_t newHeight = conversionSide(height, command.height, width, command.width);
        m_log.write("  -> Resizing from (%d,%d) to (%d,%d).", int(width), int(height), int(newWidth), int(newHeight));
        auto refuse = [&] {
            throw oxImageException(formatString(oxGetTranslation("The picture cannot be resized to %d x %d pixels."),
                                                int(newWidth), int(newHeight)),
                                   command.name);
        };
        if (newWidth < 1 || newHeight < 1)
            refuse();
        if (newWidth != width || newHeight != height) {
            std::unique_ptr<oxImage> resized = image->resampledCopy(int(newWidth), int(newHeight), -1);
            if (!resized)
                refuse();
            image = std::move(resized);
        }
        image->saveToFile(command.target, command.toneMapping);
    });
    if (!failure)
        reloadPicture(command.target); // it may have replaced a file that is shown
    redisplay();
    return failure;
}

std::optional<std::string> BGTextureLoader::execute(const CopyMoveCommand& command)
{
    m_log.write("Copy/move %s to %s, copy=%d", command.name.c_str(), command.target.c_str(), command.copy ? 1 : 0);
    oxFileOpOptions options;
    std::string existing;
    options.confirm = [&](const std::string&, const std::string&) {
        existing = placedAt(command.name, command.target);
        return command.replace;
    };
    const oxFileOpOutcome outcome = command.copy ? shellCopy(command.name, command.target, true, options)
                                                 : shellMove(command.name, command.target, false, options);
    if (outcome.done && !command.replace && !existing.empty()) {
        redisplay();
        return targetExistsReason(existing);
    }
    if (outcome.done) {
        if (!command.copy && m_services.fileChanged)
            m_services.fileChanged(command.name); // its thumbnails name a file that is gone
        reloadPicture(placedAt(command.name, command.target));
    }
    redisplay();
    if (!outcome.done)
        return outcome.error;
    return std::nullopt;
}

void BGTextureLoader::unloadEverything()
{
    std::vector<std::unique_ptr<LoadedPicture>> gone;
    {
        oxLock lock(threadLock());
        for (auto& p : m_pictures)
            gone.push_back(std::move(p));
        m_pictures.clear();
        for (auto& [name, t] : m_thumbnails)
            gone.push_back(std::move(t));
        m_thumbnails.clear();
    }
    for (auto& p : gone)
        fillLoadedPicture(m_services.fill, *p, std::string(), m_cancel);
}
