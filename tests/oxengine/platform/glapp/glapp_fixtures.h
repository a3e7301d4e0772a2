// A windowless application and recording listeners: the GLUT binding's logic runs, GLUT itself never does.
#pragma once

#include "oxengine/platform/glapp.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using EventLog = std::vector<std::string>;

// Logs "<name>:<event>" and answers `handles` for the events that report.
class RecordingListener : public oxGUIEventListener {
public:
    RecordingListener(std::string name, EventLog& log, bool handles = false)
        : handles(handles), m_name(std::move(name)), m_log(log)
    {
    }
    bool onMouseButton(int b, bool p, int x, int y) override
    {
        return note("button" + std::to_string(b) + (p ? "down" : "up") + at(x, y));
    }
    bool onClick(int b, int x, int y) override { return note("click" + std::to_string(b) + at(x, y)); }
    void onDrag(int dx, int dy) override { note("drag" + at(dx, dy)); }
    void onMouseMove(int b, int x, int y) override { note("move" + std::to_string(b) + at(x, y)); }
    bool onCommand(unsigned c) override { return hooked(c, "cmd" + std::to_string(c)); }
    bool onKeyDown(int k, bool s) override { return hooked(0, "key" + std::to_string(k) + (s ? "s" : "")); }
    void onReshape(int w, int h) override { note("reshape" + at(w, h)); }
    void detach() override { ++detaches, oxGUIEventListener::detach(); }

    bool handles;
    int detaches = 0;
    std::function<void(unsigned)> hook; // runs before a command (with its code) or a key (with 0)

private:
    static std::string at(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }
    bool note(const std::string& event) { return m_log.push_back(m_name + ":" + event), handles; }
    bool hooked(unsigned c, const std::string& event)
    {
        if (hook)
            hook(c);
        return note(event);
    }
    std::string m_name;
    EventLog& m_log;
};

// Records how the idle listener count changes (the idle callback follows it).
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
        ++calls, lastElapsed = elapsed;
        if (hook)
            hook();
        return true;
    }
    int calls = 0;
    int64_t lastElapsed = -1;
    std::function<void()> hook;
};

class AppTest : public testing::Test {
protected:
    // What was logged since the last call.
    EventLog take() { return std::exchange(log, {}); }
    EventLog log;
    WindowlessApp app;
};
