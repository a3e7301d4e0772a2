#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/oxtest-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()))
        m_path = buffer.data();
}

TempHome::TempHome()
{
    setenv("HOME", m_dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_dir.path() + "/data").c_str(), 1);
    setenv("GIO_USE_VFS", "local", 1);
}

TempDir::~TempDir()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    // Folders made read-only by a test would stop the removal.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

MessageCapture::MessageCapture(std::vector<oxMessageAnswer> answers)
    : m_answers(std::move(answers)), m_handler(oxSetMessageHandler, [this](const oxMessageRequest& r) {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_messages.push_back(r);
          m_threads.push_back(std::this_thread::get_id());
          if (m_next < m_answers.size())
              return m_answers[m_next++];
          oxMessageAnswer a;
          a.button = r.input ? MB_CANCEL : ((r.buttons & (MB_YES | MB_NO)) ? MB_YES : MB_OK);
          return a;
      })
{
}

std::vector<oxMessageRequest> MessageCapture::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<std::thread::id> MessageCapture::threads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_threads;
}

std::string MessageCapture::texts() const
{
    std::string all;
    for (const oxMessageRequest& m : messages())
        all += m.title + ": " + m.text + "\n";
    return all;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool pathExists(const std::string& path)
{
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::string artifactDir()
{
    const char* env = std::getenv("OX_TEST_ARTIFACTS");
    std::string dir = env && *env ? env : "test-artifacts";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

int runCommand(const std::string& command, std::string* output)
{
    std::FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    const int status = pclose(p);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool inRerunWith(const std::string& variable, const std::string& value)
{
    if (std::getenv(variable.c_str()))
        return true;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string out;
    EXPECT_EQ(runCommand(variable + "='" + value + "' /proc/" + std::to_string(getpid()) + "/exe --gtest_filter=" +
                             test->test_suite_name() + "." + test->name() + " 2>&1", &out),
              0)
        << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
    return false;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
