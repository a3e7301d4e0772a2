#include "oxengine/gui/clipboard.h"

#include <mutex>

namespace {

// Main thread only, like every widget; the lock guards against a test seam
// being swapped while a paste runs on another thread.
std::mutex g_mutex;
oxGuiClipboard g_override;
std::string g_store;

} // namespace

std::string oxGuiClipboardText()
{
    std::function<std::string()> get;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_override.get)
            return g_store;
        get = g_override.get;
    }
    return get();
}

void oxGuiSetClipboardText(const std::string& text)
{
    std::function<void(const std::string&)> set;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_override.set) {
            g_store = text;
            return;
        }
        set = g_override.set;
    }
    set(text);
}

oxGuiClipboard oxSetGuiClipboard(oxGuiClipboard clipboard)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    oxGuiClipboard previous = std::move(g_override);
    g_override = std::move(clipboard);
    return previous;
}
