// The background loader's optional log: "Pictavo_BGTexLoader.log" in the
// user's documents folder, appended to. Written by the loader thread, opened
// and closed by the main thread.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

class LoaderLog {
public:
    static constexpr const char* FILE_NAME = "Pictavo_BGTexLoader.log";

    // Opens (on) or closes (off) the file; opening writes the separator of a
    // new session. False, with the reason in error, when it cannot be opened.
    bool setOpen(bool on, std::string* error = nullptr);
    bool isOpen() const;
    // Appends printf-formatted text and flushes; nothing while closed. The
    // loader writes a load's line in parts (the name, then its time).
    void write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends one whole line; while a line written in parts is still open it
    // waits for that line's end, so the two never run into each other.
    void writeLine(const std::string& line);
    // Where the file is (or would be) written.
    static std::string path();

private:
    struct Close {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    mutable std::mutex m_mutex;
    std::unique_ptr<std::FILE, Close> m_file;
    bool m_midLine = false;
    std::string m_waiting; // whole lines held until the open line ends
};
