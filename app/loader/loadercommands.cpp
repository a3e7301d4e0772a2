#include "app/loader/loadercommands.h"

#include <climits>

const std::string& commandFile(const LoaderCommand& command)
{
    return std::visit(
        [](const auto& c) -> const std::string& {
            return c.name;
        },
        command);
}

bool isLoadOrUnload(const LoaderCommand& command)
{
    return std::holds_alternative<LoadCommand>(command) || std::holds_alternative<UnloadCommand>(command);
}

FileOperation* fileOperation(LoaderCommand& command)
{
    return std::visit(
        [](auto& c) -> FileOperation* {
            if constexpr (std::is_base_of_v<FileOperation, std::decay_t<decltype(c)>>)
                return &c;
            else
                return nullptr;
        },
        command);
}

const FileOperation* fileOperation(const LoaderCommand& command)
{
    return fileOperation(const_cast<LoaderCommand&>(command));
}

std::optional<std::string> LoaderCommandQueue::keyOf(const LoaderCommand& c)
{
    if (const auto* load = std::get_if<LoadCommand>(&c))
        return key(load->name, load->thumbnail);
    if (const auto* unload = std::get_if<UnloadCommand>(&c))
        return key(unload->name, unload->thumbnail);
    return std::nullopt;
}

void LoaderCommandQueue::forget(const LoaderCommand& c)
{
    const std::optional<std::string> k = keyOf(c);
    if (!k)
        return;
    auto it = m_loadsAndUnloads.find(*k);
    if (it != m_loadsAndUnloads.end() && --it->second <= 0)
        m_loadsAndUnloads.erase(it);
}

void LoaderCommandQueue::enqueue(LoaderCommand command)
{
    if (const std::optional<std::string> k = keyOf(command)) {
        if (m_loadsAndUnloads.count(*k))
            removeIf([&](const LoaderCommand& c) { return keyOf(c) == k; });
        ++m_loadsAndUnloads[*k];
        const auto* load = std::get_if<LoadCommand>(&command);
        const bool urgent = load ? load->urgent : std::get<UnloadCommand>(command).urgent;
        if (urgent)
            m_commands.push_front(std::move(command));
        else
            m_commands.push_back(std::move(command));
    } else {
        auto behind = m_commands.begin();
        for (auto it = m_commands.begin(); it != m_commands.end(); ++it)
            if (fileOperation(*it))
                behind = it + 1;
        m_commands.insert(behind, std::move(command));
    }
    ++m_queued;
}

bool LoaderCommandQueue::frontIsReadAhead() const
{
    const auto* load = m_commands.empty() ? nullptr : std::get_if<LoadCommand>(&m_commands.front());
    return load && !load->urgent && !load->thumbnail;
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
               const auto* unload = std::get_if<UnloadCommand>(&c);
               return unload && unload->thumbnail == thumbnail && unload->name == name;
           }) != 0;
}

void LoaderCommandQueue::dropLoadsAndUnloads()
{
    removeIf([](const LoaderCommand& c) { return isLoadOrUnload(c); });
}

bool LoaderCommandQueue::hasLoad(const std::string& name, bool thumbnail) const
{
    if (!m_loadsAndUnloads.count(key(name, thumbnail)))
        return false;
    return std::any_of(m_commands.begin(), m_commands.end(), [&](const LoaderCommand& c) {
        const auto* load = std::get_if<LoadCommand>(&c);
        return load && load->thumbnail == thumbnail && load->name == name;
    });
}

bool LoaderCommandQueue::resetCountersWhenEmpty()
{
    if (!m_commands.empty() || (m_queued == 0 && m_done == 0))
        return false;
    m_queued = m_done = 0;
    return true;
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
