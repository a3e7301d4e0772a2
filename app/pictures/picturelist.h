// The application's picture list: the full paths of the picture files of the
// current folder (optionally of its whole tree), sorted by the user's order,
// with one current position. Scans run on the calling thread; a long
// sub-folder search asks now and then whether to go on.
//
// The list knows nothing of the application object: what it needs of the
// views and dialogs is handed in as PictureListHooks.
#pragma once

#include "app/pictures/picturesort.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

class oxFilename;

// loadFolder/openFolder: what to do about sub-folders.
enum SubfolderMode : int {
    SUBFOLDERS_ASK = 0,    // ask when the folder itself holds no pictures
    SUBFOLDERS_NEVER = 1,  // never search them
    SUBFOLDERS_ALWAYS = 2, // always search them, without asking
};

struct PictureListHooks {
    // A modal message; returns MB_YES, MB_NO or MB_OK. Empty: oxShowMessage.
    std::function<int(const std::string& text, const std::string& title, int buttons, int icon)> message;
    // The folder dialog, starting at path; true with the chosen folder in
    // path. Empty: selectFolder does nothing.
    std::function<bool(std::string& path, const std::string& prompt)> chooseFolder;
    // The single-picture display is to show this entry.
    std::function<void(int index, const std::string& path)> showPicture;
    // The current entry was (re)shown: refit the viewing transform, redraw.
    std::function<void()> pictureShown;
    // The list ran empty (a folder load, a rescan, the last entry removed):
    // nothing of an earlier list may stay on screen.
    std::function<void()> showNothing;
    // Whether the thumbnail display is the active view.
    std::function<bool()> thumbnailsActive;
    // The folder or the list changed while thumbnails are shown.
    std::function<void(const std::string& folder)> folderChanged;
    // Monotonic clock in microseconds for the search timer. Empty: the
    // engine's high-resolution counter.
    std::function<int64_t()> clockMicroseconds;
};

class PictureList {
public:
    explicit PictureList(PictureListHooks hooks = {});

    // Read access for the loader and the thumbnail display.
    const std::vector<std::string>& paths() const { return m_paths; }
    int count() const { return static_cast<int>(m_paths.size()); }
    int currentIndex() const { return m_current; }
    // The path at the current index, "" when the index is not valid.
    std::string currentPath() const;
    const std::string& folder() const { return m_folder; }
    // Sets the folder the next loadFolder or rescanFolder reads (start-up:
    // "LastFolder" or the command line). Does not scan.
    void setFolder(const std::string& folder) { m_folder = folder; }
    // Whether the last scan included sub-folders.
    bool isRecursive() const { return m_recursive; }
    // Seconds of search before the next continue question; 0 once the user
    // stopped the search.
    int promptInterval() const { return m_promptInterval; }

    // Sets the folder, then loadFolder(0, subfolderMode).
    bool openFolder(const std::string& path, int subfolderMode);
    // The folder dialog at the current folder; a confirmed folder is opened
    // with the sub-folder question.
    void selectFolder();
    // Stores the folder as "LastFolder", removes stale temporary files of ours
    // from it (oxRemoveStaleTemporaries), lists it, sorts the list and shows
    // the entry at startIndex (clamped). SubfolderMode says when the
    // sub-folders are searched as well; such a list is sorted by path.
    // A folder that does not exist is said so, not stored, and leaves the
    // list empty: false then.
    bool loadFolder(int startIndex, int subfolderMode);
    // Lists the folder again as the last scan did (with or without
    // sub-folders, no question), keeping the current picture current when it
    // is still there.
    void rescanFolder();
    // Sorts by "SortMode", keeping the current picture current.
    void sortList();

    // Moves by delta; running past an end warns (sound, or a message when
    // sound is off) and stops at that end. step(0) re-checks the position.
    void step(int delta);
    // Clamps index to the list and shows it when it differs from the current.
    void goTo(int index);
    void showCurrent();
    // Removes the first entry equal to path (a deleted file); when it was the
    // current one the position is re-checked and the new current shown.
    // False when no entry matched.
    bool removePath(const std::string& path);

private:
    // Starts a scan: empty list, timer restarted, prompt interval 10.
    void beginScan();
    // Lists folder (its own pictures first, then, when recursive, its tree).
    void scanFolder(const std::string& folder, bool recursive);
    // One folder of a recursive scan; links to folders go to m_deferred.
    void scanTree(const oxFilename& folder, const std::string& identity);
    // The continue question when the search ran longer than the interval;
    // false when the search is to stop.
    bool continueSearch();
    int64_t elapsedSearchSeconds() const;
    int64_t now() const;
    int ask(const std::string& text, const std::string& title, int buttons, int icon) const;
    bool thumbnailsActive() const { return m_hooks.thumbnailsActive && m_hooks.thumbnailsActive(); }
    void notifyFolder() const;
    // The current entry, or nothing when the list is empty.
    void showCurrentOrNothing();
    void clampCurrent();
    // Sorts by mode; afterwards the entry equal to keep (if any) is current.
    void sortKeeping(int mode, const std::string& keep);

    PictureListHooks m_hooks;
    std::string m_folder;
    std::vector<std::string> m_paths;
    bool m_recursive = false;
    int m_current = 0;
    // Search timer: started at each scan; the time the continue question
    // waits for the user does not count as search time.
    int64_t m_searchStart = 0;
    int64_t m_searchPaused = 0;
    int m_promptInterval = 10;
    // During a recursive scan: real paths of the folders listed so far, and
    // links to folders still to follow.
    std::set<std::string> m_visited;
    std::vector<oxFilename> m_deferred;
};
