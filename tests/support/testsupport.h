// Helpers shared by the tests: temporary folders, message capture, artefacts.
#pragma once

#include "oxengine/platform/messagebox.h"

#include <string>
#include <vector>

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string m_path;
};

// A temporary HOME with its XDG config and data folders (settings, Trash)
// and GIO on local files only, set before GLib first reads them, so that no
// test reaches the user's own. Make it before anything else runs.
class TempHome {
public:
    TempHome();
    const std::string& path() const { return m_dir.path(); }
    std::string trash() const { return m_dir.path() + "/data/Trash"; }

private:
    TempDir m_dir;
};

// Records every message box while alive and answers with the given buttons
// in turn (then the default: OK / Yes / input cancelled).
class MessageCapture {
public:
    explicit MessageCapture(std::vector<oxMessageAnswer> answers = {});
    ~MessageCapture();
    const std::vector<oxMessageRequest>& messages() const { return m_messages; }
    size_t count() const { return m_messages.size(); }
    void clear() { m_messages.clear(); }

private:
    std::vector<oxMessageRequest> m_messages;
    std::vector<oxMessageAnswer> m_answers;
    size_t m_next = 0;
    oxMessageHandler m_previous;
};

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
// Folder for artefacts a person may look at (screenshots): $OX_TEST_ARTIFACTS
// or ./test-artifacts; created when missing.
std::string artifactDir();
// Writes RGBA pixels (rows top first) as a PNG file.
bool writePngRGBA(const std::string& path, const unsigned char* rgba, int width, int height);
// Runs a shell command, returns its exit status (-1 when it could not run).
int runCommand(const std::string& command, std::string* output = nullptr);
