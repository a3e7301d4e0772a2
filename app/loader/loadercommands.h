// The background loader's commands and their queue. The queue itself has no
// lock: the loader guards it with its threadLock.
#pragma once

#include "oxengine/image/handler.h"
#include "oxengine/image/tonemap.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

enum LoaderCommandKind : int32_t {
    CMD_UNLOAD = 0,
    CMD_LOAD = 1,
    CMD_TRANSFORM = 2,
    CMD_CONVERT = 3,
    CMD_COPY_MOVE = 4,
};
// Bits of the kind word callers give: bits 0 to 2 the kind, then these.
constexpr int CMD_KIND_MASK = 7;
constexpr int CMD_THUMBNAIL = 8; // the command concerns the thumbnail set
constexpr int CMD_URGENT = 16;   // queued at the front
// parameterA of a load that replaces a first look (a quickly decoded,
// reduced picture) with the full picture.
constexpr int32_t LOAD_FULL_AFTER_FIRST_LOOK = 1;

struct LoaderCommand {
    int32_t kind = CMD_UNLOAD;
    bool thumbnail = false;
    std::string name;   // the file the command works on
    std::string target; // destination of a conversion or copy/move
    oxImageTransform transform;
    oxToneMapping toneMapping = oxToneMapping::neutral();
    int32_t parameterA = 0; // conversion: width; copy/move: 1 copy, 0 move
    int32_t parameterB = 0; // conversion: height
    int32_t notifyCode = 0; // posted to the application when done (0: none)
    bool force = false;     // an unload that also removes a picture in use (shut-down)
    bool urgent = false;    // was queued at the front

    // Loads and unloads only decide which pictures are kept; the others are
    // work the user asked for.
    bool isLoadOrUnload() const { return kind == CMD_LOAD || kind == CMD_UNLOAD; }
};

class LoaderCommandQueue {
public:
    // A load or unload replaces every queued load or unload of the same name
    // and thumbnail flag: the newest one decides. File operations are never
    // replaced and never replace anything, so two rotations in a row rotate
    // twice. Urgent commands go to the front, except that an urgent file
    // operation goes behind the urgent file operations already queued: they
    // run in the order the user gave them (the last comment set wins, a
    // conversion runs before a move of the same file). Returns how many
    // queued commands were replaced.
    size_t enqueue(const LoaderCommand& command, bool urgent);
    std::optional<LoaderCommand> takeFront();

    // Takes back a queued unload of the name (and flag); true when one was
    // queued. For pictures that are wanted again before the unload ran.
    bool cancelUnload(const std::string& name, bool thumbnail);
    // Drops every queued load and unload (file operations stay); returns how
    // many were dropped.
    size_t dropLoadsAndUnloads();
    // Drops the queued loads (of thumbnails or of full pictures) whose name
    // keep rejects.
    template <class Keep> size_t dropLoadsUnless(bool thumbnail, Keep keep)
    {
        return removeIf(
            [&](const LoaderCommand& c) { return c.kind == CMD_LOAD && c.thumbnail == thumbnail && !keep(c.name); });
    }
    // A load of the name (and flag) is queued.
    bool hasLoad(const std::string& name, bool thumbnail) const;

    bool empty() const { return m_commands.empty(); }
    size_t size() const { return m_commands.size(); }
    const std::deque<LoaderCommand>& commands() const { return m_commands; }

private:
    // Order-keeping removal in one pass.
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
        return removed;
    }
    static std::string key(const std::string& name, bool thumbnail) { return (thumbnail ? "t" : "f") + name; }
    void forget(const LoaderCommand& c);

    std::deque<LoaderCommand> m_commands;
    // How many loads and unloads are queued per name and flag, so that a
    // long list of new commands is not compared against the whole queue.
    std::unordered_map<std::string, int> m_loadsAndUnloads;
};

// One side of a conversion's new size. request < 0 is a percentage of own,
// > 0 the size itself; 0 follows the other side: its percentage, or own
// scaled like the other side (keeping the aspect ratio), or own when both
// requests are 0. Integer arithmetic that cannot overflow; the result is
// clamped to the int range (the caller refuses sizes below 1).
int64_t conversionSide(int64_t own, int64_t request, int64_t other, int64_t otherRequest);
