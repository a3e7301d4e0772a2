// Recording listeners shared by the framework's unit tests.
#pragma once

#include "oxengine/glapp.h"

#include <functional>
#include <string>
#include <vector>

using EventLog = std::vector<std::string>;

// Logs "<name>:<event>" and answers with `handles` for the bool events.
class RecordingListener : public oxGUIEventListener {
public:
    RecordingListener(std::string name, EventLog& log, bool handles = false)
        : m_name(std::move(name)), m_log(log), handles(handles) {}

    bool onMouseButton(int b, bool p, int x, int y) override
    {
        return note("button" + std::to_string(b) + (p ? "down" : "up") + at(x, y));
    }
    bool onClick(int b, int x, int y) override { return note("click" + std::to_string(b) + at(x, y)); }
    void onDrag(int dx, int dy) override { note("drag" + at(dx, dy)); }
    void onMouseMove(int b, int x, int y) override { note("move" + std::to_string(b) + at(x, y)); }
    bool onMouseWheel(int d, int x, int y) override { return note("wheel" + std::to_string(d) + at(x, y)); }
    bool onCommand(unsigned c) override
    {
        if (onCommandHook)
            onCommandHook(c);
        return note("cmd" + std::to_string(c));
    }
    bool onKeyDown(int k, bool s) override
    {
        if (onKeyHook)
            onKeyHook();
        return note("key" + std::to_string(k) + (s ? "s" : ""));
    }
    void onReshape(int w, int h) override { note("reshape" + at(w, h)); }
    void detach() override
    {
        ++detaches;
        oxGUIEventListener::detach();
    }

    int detaches = 0;
    std::function<void(unsigned)> onCommandHook;
    std::function<void()> onKeyHook;

private:
    static std::string at(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }
    bool note(const std::string& event)
    {
        m_log.push_back(m_name + ":" + event);
        return handles;
    }
    std::string m_name;
    EventLog& m_log;

public:
    bool handles;
};

// An application without a window: the GLUT binding's logic runs, GLUT is
// never called because run() is not.
class WindowlessApp : public oxGLUTApplication {
public:
    void idleListenersChanged(int oldCount, int newCount) override
    {
        changes.push_back({oldCount, newCount});
        oxGLUTApplication::idleListenersChanged(oldCount, newCount);
    }
    std::vector<std::pair<int, int>> changes;
};

class CountingIdle : public oxIdleListener {
public:
    bool idle(int64_t elapsed) override
    {
        ++calls;
        lastElapsed = elapsed;
        if (hook)
            hook();
        return accept;
    }
    int calls = 0;
    int64_t lastElapsed = -1;
    bool accept = true;
    std::function<void()> hook;
};
