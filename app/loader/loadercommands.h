// The background loader's commands and their queue. The queue itself has no
// lock: the loader guards it with its threadLock.
#pragma once

#include "oxengine/image/handler.h"
#include "oxengine/image/tonemap.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>

// Loads and unloads decide which pictures (or thumbnails) are kept.
struct LoadCommand {
    std::string name;
    bool thumbnail = false;
    // A view waits for it: queued at the front.
    bool urgent = false;
    // Replaces the first look of a loaded picture with the full picture.
    bool fullAfterFirstLook = false;
};

struct UnloadCommand {
    std::string name;
    bool thumbnail = false;
    bool urgent = false;
    // Also a picture a view still holds (the shut-down).
    bool force = false;
};

// What every file operation carries. File operations are what the user
// asked for: always queued urgently, in the order asked, and never dropped.
struct FileOperation {
    std::string name;        // the file the operation works on
    unsigned notifyCode = 0; // posted to the application once done, failed or not (0: none)
    unsigned batch = 0;      // its failures are reported with the rest of the batch (0: on their own)
};

struct TransformCommand : FileOperation {
    oxImageTransform transform;
};

struct ConvertCommand : FileOperation {
    std::string target;
    // > 0 pixels, < 0 percent, 0 follows the other side (conversionSide).
    int width = 0, height = 0;
    oxToneMapping toneMapping = oxToneMapping::neutral();
    bool replace = false; // an existing target: the user agreed to replace it
};

struct CopyMoveCommand : FileOperation {
    std::string target; // the new path, or a folder to put the file into
    bool copy = true;   // false: move
    bool replace = false; // an existing target: the user agreed to replace it
};

using LoaderCommand = std::variant<LoadCommand, UnloadCommand, TransformCommand, ConvertCommand, CopyMoveCommand>;

// The file the command works on.
const std::string& commandFile(const LoaderCommand& command);
bool isLoadOrUnload(const LoaderCommand& command);
// The file operation part of a command; null for loads and unloads.
const FileOperation* fileOperation(const LoaderCommand& command);
FileOperation* fileOperation(LoaderCommand& command);

class LoaderCommandQueue {
public:
    // A load or unload replaces every queued load or unload of the same name
    // and thumbnail flag: the newest one decides. File operations are never
    // replaced and never replace anything, so two rotations in a row rotate
    // twice. Urgent loads and unloads go to the front; a file operation goes
    // behind the file operations already queued: they run in the order the
    // user gave them (the last comment set wins, a conversion runs before a
    // move of the same file), before every load or unload not urgent.
    void enqueue(LoaderCommand command);
    std::optional<LoaderCommand> takeFront();

    // Takes back a queued unload of the name (and flag); true when one was
    // queued. For pictures that are wanted again before the unload ran.
    bool cancelUnload(const std::string& name, bool thumbnail);
    // Drops every queued load and unload (file operations stay).
    void dropLoadsAndUnloads();
    // Drops the queued loads (of thumbnails or of full pictures) whose name
    // keep rejects.
    template <class Keep> void dropLoadsUnless(bool thumbnail, Keep keep)
    {
        removeIf([&](const LoaderCommand& c) {
            const auto* load = std::get_if<LoadCommand>(&c);
            return load && load->thumbnail == thumbnail && !keep(load->name);
        });
    }
    // A load of the name (and flag) is queued.
    bool hasLoad(const std::string& name, bool thumbnail) const;

    bool empty() const { return m_commands.empty(); }
    // The next command reads a picture ahead: a load nobody waits for.
    bool frontIsReadAhead() const;
    size_t size() const { return m_commands.size(); }
    const std::deque<LoaderCommand>& commands() const { return m_commands; }

    // Progress since the queue last ran empty: commands queued (less those
    // replaced or dropped) and commands done.
    int queuedCount() const { return m_queued; }
    int doneCount() const { return m_done; }
    void markDone() { ++m_done; }
    // Once the queue has run empty the counters start again from 0; true when
    // there was something to reset (the progress display goes away).
    bool resetCountersWhenEmpty();

private:
    // Order-keeping removal in one pass; removed commands no longer count.
    template <class Pred> size_t removeIf(Pred pred)
    {
        const auto end = std::remove_if(m_commands.begin(), m_commands.end(), [&](const LoaderCommand& c) {
            if (!pred(c))
                return false;
            forget(c);
            return true;
        });
        const size_t removed = size_t(m_commands.end() - end);
        m_commands.erase(end, m_commands.end());
        m_queued = std::max(0, m_queued - int(removed));
        return removed;
    }
    static std::string key(const std::string& name, bool thumbnail) { return (thumbnail ? "t" : "f") + name; }
    // The key of a load or unload, nullopt for a file operation.
    static std::optional<std::string> keyOf(const LoaderCommand& c);
    void forget(const LoaderCommand& c);

    std::deque<LoaderCommand> m_commands;
    // How many loads and unloads are queued per name and flag, so that a
    // long list of new commands is not compared against the whole queue.
    std::unordered_map<std::string, int> m_loadsAndUnloads;
    int m_queued = 0;
    int m_done = 0;
};

// One side of a conversion's new size. request < 0 is a percentage of own,
// > 0 the size itself; 0 follows the other side: its percentage, or own
// scaled like the other side (keeping the aspect ratio), or own when both
// requests are 0. Integer arithmetic that cannot overflow; the result is
// clamped to the int range (the caller refuses sizes below 1).
int64_t conversionSide(int64_t own, int64_t request, int64_t other, int64_t otherRequest);
