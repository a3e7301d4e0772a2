// File and folder paths. An oxFilename is an absolute path split into
// components; the first component of every path is the file system root "/",
// which plays the part of a drive (so "/" has depth 0). Identity follows the
// file system: "a.jpg" and "A.jpg" are two files. Extensions and filters
// ignore case.
//
// Information about the file (exists, folder, size) is asked of the file
// system once and then kept with the value; make a fresh value to see later
// changes. modificationDate always asks afresh.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class oxFilename;

// Chooses the entries of a folder listing. entryName is the bare name; the
// name of a folder ends with "/".
class oxFilenameFilter {
public:
    virtual ~oxFilenameFilter() = default;
    virtual bool accept(const oxFilename& folder, const std::string& entryName) const = 0;
};

class oxFilename {
public:
    static constexpr char SEPARATOR = '/';

    // Reads the working folder and the documents folder. Runs once at
    // start-up; may run again (tests) to read the environment afresh.
    static void initialize();
    static bool isInitialized();
    static oxFilename workingFolder();
    static oxFilename documentsFolder();
    // The user's home folder and pictures folder (the desktop's "Pictures"
    // in its language), as the environment says now; empty when unknown.
    static oxFilename homeFolder();
    static oxFilename picturesFolder();

    // The empty path: no components, depth -1.
    oxFilename() = default;
    // A relative text is taken from the working folder, "" is the working
    // folder itself. "." is dropped; ".." goes to the parent of what the file
    // system names by the path so far (so a symlinked folder's ".." is its
    // real parent), lexically when that does not exist. A trailing "/" marks
    // the value as a folder without asking the file system. "\" is an
    // ordinary character.
    oxFilename(const std::string& path); // NOLINT: paths convert implicitly
    oxFilename(const char* path);        // NOLINT

    // Components joined with "/"; a folder ends with "/".
    std::string toString() const;
    // toString() without the trailing "/" (the text system calls get).
    std::string systemPath() const;
    const std::vector<std::string>& components() const { return m_components; }
    // The folder's components followed by those of name (a relative path).
    static oxFilename join(const oxFilename& folder, const std::string& name);
    // The path without its last component, marked as a folder.
    oxFilename parentFolder() const;
    // Last component ("" for the empty path, "/" for the root).
    std::string name() const;
    // Text after the last "." of the name, as written ("" when none).
    std::string extension() const;
    bool hasExtension(std::string_view extension) const; // ignores case
    // path with the extension of its file name replaced by extension (with or
    // without its dot; empty removes it). Only the last component counts, so
    // a dot in a folder name is no extension; nor is a name's leading dot
    // (".hidden" gets ".hidden.png"). "a.tar.jpg" keeps "a.tar"; "a." and a
    // name without a dot get the extension added.
    static std::string replaceExtension(const std::string& path, std::string_view extension);

    bool exists() const;
    // Known from construction for texts ending in "/" and for parents,
    // otherwise only after exists() or size() asked the file system.
    bool isDirectory() const;
    // Bytes; -1 when the file is missing.
    int64_t size() const;

    // Seconds since 1970-01-01 UTC of the last write; the lowest double for a
    // path that cannot be found, so vanished files sort first.
    double modificationDate() const;
    bool setModificationDate(double seconds) const;

    // The entries of this folder, or of the parent folder when this is a file,
    // in the order the file system gives them. Only folders and regular files
    // are listed (a link counts as what it points to): named pipes, devices,
    // sockets and broken links are left out, as nothing may open them like a
    // file. Hidden entries (names starting with ".") are left out. A folder
    // that cannot be read gives an empty list.
    std::vector<oxFilename> listDirectory(const oxFilenameFilter* filter = nullptr) const;
    // "/", the home folder and the user-visible mounts (under /media,
    // /run/media, /mnt), each once, as folders.
    static std::vector<oxFilename> listDrives();
    static bool isHiddenName(const std::string& entryName);

    // Same components (case-sensitive, as the file system compares).
    bool equals(const oxFilename& other) const { return m_components == other.m_components; }
    friend bool operator==(const oxFilename& a, const oxFilename& b) { return a.equals(b); }
    // This path is a proper prefix of other.
    bool isAncestorOf(const oxFilename& other) const;
    int depth() const { return static_cast<int>(m_components.size()) - 1; }

    // Deletes the file (a symlink itself, not its target) or the empty
    // folder for good.
    bool removeFile() const;

private:
    struct Info {
        int state = 2; // 0 exists, 1 missing, 2 not yet asked
        bool isFile = true;
        int64_t size = -1;
    };

    void append(std::string_view relative);
    void query() const;

    std::vector<std::string> m_components;
    mutable Info m_info;
};
