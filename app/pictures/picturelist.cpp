#include "app/pictures/picturelist.h"

#include "app/shell/configkeys.h"
#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/handler.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/files.h"
#include "oxengine/storage/temporaryfiles.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int FIRST_PROMPT_SECONDS = 10;

// The folder's real path (links resolved), or "" when it cannot be resolved.
std::string realFolderPath(const oxFilename& folder)
{
    std::error_code ec;
    const fs::path real = fs::canonical(folder.systemPath(), ec);
    return ec ? std::string() : real.string();
}

bool isSymlink(const oxFilename& path)
{
    std::error_code ec;
    return fs::symlink_status(path.systemPath(), ec).type() == fs::file_type::symlink;
}

std::string childPath(const std::string& parent, const std::string& name)
{
    return parent.empty() || parent.back() == '/' ? parent + name : parent + "/" + name;
}

// Appends the folder's picture files to paths and returns its sub-folders.
std::vector<oxFilename> listFolder(const oxFilename& folder, std::vector<std::string>& paths)
{
    const oxImageFilenameFilter pictures;
    std::vector<oxFilename> folders;
    const std::vector<oxFilename> entries = folder.listDirectory();
    if (entries.empty())
        return folders;
    // Entries are joined to the listed folder; for a file path that is its parent.
    const oxFilename listed = entries.front().parentFolder();
    for (const oxFilename& e : entries) {
        if (e.isDirectory())
            folders.push_back(e);
        else if (pictures.accept(listed, e.name()))
            paths.push_back(e.toString());
    }
    return folders;
}

int sortModeSetting()
{
    return readConfigInt(ConfigKey::SortMode);
}

} // namespace

PictureList::PictureList(PictureListHooks hooks) : m_hooks(std::move(hooks))
{
}

std::string PictureList::currentPath() const
{
    return m_current >= 0 && m_current < count() ? m_paths[static_cast<size_t>(m_current)] : std::string();
}

// ---- loading -----------------------------------------------------------------------

bool PictureList::openFolder(const std::string& path, int subfolderMode)
{
    m_folder = path;
    return loadFolder(0, subfolderMode);
}

void PictureList::selectFolder()
{
    if (!m_hooks.chooseFolder)
        return;
    std::string chosen = m_folder;
    if (m_hooks.chooseFolder(chosen, oxGetTranslation("Load pictures from this folder:")))
        openFolder(chosen, SUBFOLDERS_ASK);
}

bool PictureList::loadFolder(int startIndex, int subfolderMode)
{
    const oxFilename folder(m_folder);
    if (!folder.exists() || !folder.isDirectory()) {
        // Not a folder without pictures, and not one to come back to.
        beginScan();
        m_current = 0;
        ask(formatString(oxGetTranslation("The folder '%s' does not exist."), m_folder.c_str()),
            oxGetTranslation("Pictavo"), MB_OK, MI_ERROR);
        notifyFolder();
        showCurrentOrNothing();
        return false;
    }
    writeConfigText(ConfigKey::LastFolder, m_folder);
    // What a rewrite or copy killed in this folder left behind.
    oxRemoveStaleTemporaries(oxFilename(m_folder).systemPath());
    beginScan();
    scanFolder(m_folder, false);
    sortKeeping(sortModeSetting(), std::string());
    // An empty list keeps the start index, so a position stored for a folder
    // that is briefly unavailable is not lost.
    m_current = startIndex;
    if (!m_paths.empty())
        clampCurrent();

    if (subfolderMode == SUBFOLDERS_ALWAYS || (m_paths.empty() && subfolderMode != SUBFOLDERS_NEVER)) {
        bool search = true;
        if (subfolderMode == SUBFOLDERS_ASK) {
            const std::string text =
                formatString(oxGetTranslation("The selected folder '%s' does not contain any supported picture "
                                              "files.\nSearch sub-folders for pictures?"),
                             m_folder.c_str());
            search = ask(text, oxGetTranslation("Pictavo error"), MB_YES | MB_NO, MI_INFORMATION) == MB_YES;
        }
        if (search) {
            beginScan();
            scanFolder(m_folder, true);
            // By path whatever the setting, so each sub-folder's pictures stay together.
            sortKeeping(CMD_SORT_BY_NAME, std::string());
            // The start index was only limited to the folder's own pictures
            // (or not at all when it had none); it must fit the new list.
            if (!m_paths.empty())
                clampCurrent();
        }
    }
    notifyFolder();
    showCurrentOrNothing();
    return true;
}

void PictureList::rescanFolder()
{
    // Remembered before the list is rebuilt: the new list is unsorted until
    // the sort, so its entry at the old index is an arbitrary file.
    const std::string keep = currentPath();
    beginScan();
    scanFolder(m_folder, m_recursive);
    clampCurrent();
    sortKeeping(sortModeSetting(), keep);
    notifyFolder();
    showCurrentOrNothing();
}

void PictureList::sortList()
{
    sortKeeping(sortModeSetting(), currentPath());
}

void PictureList::sortKeeping(int mode, const std::string& keep)
{
    sortPicturePaths(m_paths, mode);
    if (keep.empty())
        return;
    const auto it = std::find(m_paths.begin(), m_paths.end(), keep);
    if (it != m_paths.end())
        m_current = static_cast<int>(it - m_paths.begin());
}

// ---- scanning ----------------------------------------------------------------------

void PictureList::beginScan()
{
    m_paths.clear();
    m_searchStart = now();
    m_searchPaused = 0;
    m_promptInterval = FIRST_PROMPT_SECONDS;
}

void PictureList::scanFolder(const std::string& folder, bool recursive)
{
    m_recursive = recursive;
    const oxFilename root(folder);
    if (!recursive) {
        listFolder(root, m_paths);
        return;
    }
    // Folders are told apart by their real path, so a link to a folder
    // listed before (a loop to an ancestor among them) is not followed again.
    // Links are followed only after the real tree, so pictures reachable
    // both ways are listed under their real path.
    const std::string rootIdentity = realFolderPath(root);
    m_visited.clear();
    m_deferred.clear();
    m_visited.insert(rootIdentity.empty() ? root.systemPath() : rootIdentity);
    scanTree(root, rootIdentity);
    for (size_t i = 0; i < m_deferred.size() && m_promptInterval != 0; ++i) {
        const oxFilename link = m_deferred[i];
        const std::string identity = realFolderPath(link);
        if (identity.empty() || !m_visited.insert(identity).second)
            continue;
        scanTree(link, identity);
    }
    m_visited.clear();
    m_deferred.clear();
}

void PictureList::scanTree(const oxFilename& folder, const std::string& identity)
{
    const std::vector<oxFilename> subFolders = listFolder(folder, m_paths);
    if (m_promptInterval == 0 || !continueSearch())
        return;
    for (const oxFilename& sub : subFolders) {
        if (isSymlink(sub)) {
            m_deferred.push_back(sub);
            continue;
        }
        // A real folder's real path is its parent's plus its name; when the
        // parent's is unknown the folder cannot be a loop target either.
        const std::string subIdentity = identity.empty() ? std::string() : childPath(identity, sub.name());
        if (!subIdentity.empty() && !m_visited.insert(subIdentity).second)
            continue; // reached before through a link (or a bind mount)
        scanTree(sub, subIdentity);
        if (m_promptInterval == 0)
            return;
    }
}

bool PictureList::continueSearch()
{
    if (elapsedSearchSeconds() <= m_promptInterval)
        return true;
    const int64_t asked = now();
    const std::string text =
        formatString(oxGetTranslation("%d seconds have passed. Continue searching?"), m_promptInterval);
    const bool goOn = ask(text, std::string(), MB_YES | MB_NO, MI_QUESTION) == MB_YES;
    // However long the question stayed open, it is not search time.
    m_searchPaused += now() - asked;
    if (!goOn) {
        m_promptInterval = 0;
        return false;
    }
    m_promptInterval = m_promptInterval > INT_MAX / 3 ? INT_MAX : m_promptInterval * 3;
    return true;
}

int64_t PictureList::now() const
{
    if (m_hooks.clockMicroseconds)
        return m_hooks.clockMicroseconds();
    return oxTimer::ticksToUnit(oxTimer::now(), oxTimer::Microseconds);
}

int64_t PictureList::elapsedSearchSeconds() const
{
    return (now() - m_searchStart - m_searchPaused) / 1000000;
}

// ---- position ----------------------------------------------------------------------

void PictureList::clampCurrent()
{
    if (m_current >= count())
        m_current = count() - 1;
    if (m_current < 0)
        m_current = 0;
}

void PictureList::step(int delta)
{
    const int64_t target = int64_t(m_current) + delta;
    if (target >= 0 && target < count()) {
        goTo(static_cast<int>(target));
        return;
    }
    if (soundEnabled)
        beep(2);
    else
        ask(oxGetTranslation("No more images available."), oxGetTranslation("Pictavo"), MB_OK, MI_INFORMATION);
    goTo(static_cast<int>(std::clamp<int64_t>(target, INT_MIN, INT_MAX)));
}

void PictureList::goTo(int index)
{
    const int previous = m_current;
    m_current = index;
    clampCurrent();
    if (m_current != previous)
        showCurrent();
}

void PictureList::showCurrent()
{
    if (m_current < 0 || m_current >= count())
        return;
    if (!thumbnailsActive() && m_hooks.showPicture)
        m_hooks.showPicture(m_current, m_paths[static_cast<size_t>(m_current)]);
    if (m_hooks.pictureShown)
        m_hooks.pictureShown();
}

void PictureList::showCurrentOrNothing()
{
    if (!m_paths.empty())
        showCurrent();
    else if (m_hooks.showNothing)
        m_hooks.showNothing();
}

bool PictureList::removePath(const std::string& path)
{
    const auto it = std::find(m_paths.begin(), m_paths.end(), path);
    if (it == m_paths.end())
        return false;
    const int index = static_cast<int>(it - m_paths.begin());
    m_paths.erase(it);
    if (index < m_current) {
        --m_current; // the same picture stays current
    } else if (index == m_current) {
        step(0); // past the new end: warns and moves to the last picture
        if (m_paths.empty())
            showCurrentOrNothing();
        else if (m_current == index)
            showCurrent(); // step showed nothing: the next picture moved up
    }
    return true;
}

// ---- hooks -------------------------------------------------------------------------

int PictureList::ask(const std::string& text, const std::string& title, int buttons, int icon) const
{
    return m_hooks.message ? m_hooks.message(text, title, buttons, icon) : oxShowMessage(text, title, buttons, icon);
}

void PictureList::notifyFolder() const
{
    if (thumbnailsActive() && m_hooks.folderChanged)
        m_hooks.folderChanged(m_folder);
}
