#include "app/loader/loadercommands.h"

#include <algorithm>
#include <climits>

void LoaderCommandQueue::forget(const LoaderCommand& c)
{
    if (!c.isLoadOrUnload())
        return;
    auto it = m_loadsAndUnloads.find(key(c.name, c.thumbnail));
    if (it != m_loadsAndUnloads.end() && --it->second <= 0)
        m_loadsAndUnloads.erase(it);
}

size_t LoaderCommandQueue::enqueue(const LoaderCommand& command, bool urgent)
{
    size_t replaced = 0;
    if (command.isLoadOrUnload()) {
        const std::string k = key(command.name, command.thumbnail);
        if (m_loadsAndUnloads.count(k))
            replaced = removeIf([&](const LoaderCommand& c) {
                return c.isLoadOrUnload() && c.thumbnail == command.thumbnail && c.name == command.name;
            });
        ++m_loadsAndUnloads[k];
    }
    LoaderCommand c = command;
    c.urgent = urgent;
    if (!urgent) {
        m_commands.push_back(std::move(c));
    } else if (c.isLoadOrUnload()) {
        m_commands.push_front(std::move(c));
    } else {
        auto behind = m_commands.begin();
        for (auto it = m_commands.begin(); it != m_commands.end(); ++it)
            if (it->urgent && !it->isLoadOrUnload())
                behind = it + 1;
        m_commands.insert(behind, std::move(c));
    }
    return replaced;
}

std::optional<LoaderCommand> LoaderCommandQueue::takeFront()
{
    if (m_commands.empty())
        return std::nullopt;
    LoaderCommand c = std::move(m_commands.front());
    m_commands.pop_front();
    forget(c);
    return c;
}

bool LoaderCommandQueue::cancelUnload(const std::string& name, bool thumbnail)
{
    if (!m_loadsAndUnloads.count(key(name, thumbnail)))
        return false;
    return removeIf([&](const LoaderCommand& c) {
               return c.kind == CMD_UNLOAD && c.thumbnail == thumbnail && c.name == name;
           }) != 0;
}

size_t LoaderCommandQueue::dropLoadsAndUnloads()
{
    return removeIf([](const LoaderCommand& c) { return c.isLoadOrUnload(); });
}

bool LoaderCommandQueue::hasLoad(const std::string& name, bool thumbnail) const
{
    if (!m_loadsAndUnloads.count(key(name, thumbnail)))
        return false;
    return std::any_of(m_commands.begin(), m_commands.end(), [&](const LoaderCommand& c) {
        return c.kind == CMD_LOAD && c.thumbnail == thumbnail && c.name == name;
    });
}

int64_t conversionSide(int64_t own, int64_t request, int64_t other, int64_t otherRequest)
{
    // Requests are 32-bit and sides at most 32-bit, so no product overflows.
    int64_t side = own;
    if (request < 0)
        side = own * -request / 100;
    else if (request > 0)
        side = request;
    else if (otherRequest < 0)
        side = own * -otherRequest / 100;
    else if (otherRequest > 0 && other > 0)
        side = own * otherRequest / other;
    return std::clamp<int64_t>(side, INT_MIN, INT_MAX);
}
