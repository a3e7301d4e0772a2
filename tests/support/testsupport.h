// Helpers shared by the tests: temporary folders, message capture, artefacts.
#pragma once

#include "switches.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/image.h"
#include "oxengine/image/sampleconv.h"
#include "oxengine/platform/messagebox.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A temporary HOME with XDG folders (settings, Trash) and GIO on local files, so no test reaches the user's
// own. Make it before GLib first reads them.
class TempHome {
public:
    TempHome();
    const std::string& path() const { return m_dir.path(); }
    std::string trash() const { return m_dir.path() + "/data/Trash"; }

private:
    TempDir m_dir;
};

// Records every message box while alive, from any thread, answering with the given buttons, then defaults.
class MessageCapture {
public:
    explicit MessageCapture(std::vector<oxMessageAnswer> answers = {});
    std::vector<oxMessageRequest> messages() const;
    // The thread that asked for each message.
    std::vector<std::thread::id> threads() const;
    size_t count() const { return messages().size(); }
    // Title and text of every message, for failure output.
    std::string texts() const;

private:
    mutable std::mutex m_mutex;
    std::vector<oxMessageRequest> m_messages;
    std::vector<std::thread::id> m_threads;
    std::vector<oxMessageAnswer> m_answers;
    size_t m_next = 0;
    Seam<oxMessageHandler> m_handler;
};

std::string readFile(const std::string& path);
// Every name in the folder, hidden ones included, sorted.
std::vector<std::string> folderEntries(const std::string& folder);
// The path names something, a dangling link included.
bool pathExists(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
// Folder for screenshots: $OX_TEST_ARTIFACTS or ./test-artifacts, created when missing.
std::string artifactDir();
// Runs a shell command, returns its exit status (-1 when it could not run).
int runCommand(const std::string& command, std::string* output = nullptr);
// True in a run of this program with the variable set; otherwise runs the current test again in a fresh
// process of this program with variable=value and expects it to pass there.
bool inRerunWith(const std::string& variable, const std::string& value = "1");
// The process's own processor time (user and system) in seconds.
double cpuSeconds();

// The message of the E that fn throws (without the file an oxIOException names), "" when it throws none.
template <class E = oxException, class Fn> std::string thrownMessage(Fn&& fn)
{
    try {
        fn();
    } catch (const E& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

// A picture of pixel type T whose pixel (x, y) is pixel(x, y), of any type.
template <class T, class Pixel> std::unique_ptr<oxImageImpl<T>> imageOf(uint32_t width, uint32_t height, Pixel pixel)
{
    auto image = oxImageImpl<T>::create(width, height);
    for (uint32_t y = 0; image && y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image->at(x, y) = oxConvertPixel<T>(pixel(x, y));
    return image;
}
