#include "oxengine/platform/mainwindow.h"

#include <mutex>

namespace {
std::mutex g_mutex;
oxMainWindowContext g_handles;
} // namespace

void oxSetMainWindowContext(const oxMainWindowContext& handles)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_handles = handles;
}

oxMainWindowContext oxGetMainWindowContext()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_handles;
}
