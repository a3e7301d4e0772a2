// The thumbnail cache that desktop programs share (freedesktop.org's
// Thumbnail Managing Standard): PNG files under $XDG_CACHE_HOME/thumbnails
// in a folder per size, named by the MD5 of the file's URI, carrying the URI
// and the file's modification time in text chunks. A thumbnail whose time
// differs from the file's is stale. Files that cannot be thumbnailed get a
// record in fail/<program>/ and are not tried again until they change.
//
// The cache is a help, never a condition: a folder that cannot be read or
// written just leaves every call without effect. All operations are const
// and may run on any thread at once; writes are atomic (temporary file and
// rename), files 0600 in folders 0700.
#pragma once

#include "oxengine/image/image.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class oxThumbnailCache {
public:
    // root: the "thumbnails" folder; program: the name of the fail folder,
    // "pictavo-<version>".
    oxThumbnailCache(std::string root, std::string program);

    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when that is unset
    // or not absolute.
    static std::string userRoot();
    // The size folder for thumbnails of the edge: "normal" (128),
    // "large" (256), "x-large" (512), "xx-large" (1024), and its edge.
    static const char* sizeFolder(int edge);
    static int folderEdge(int edge);
    // "file:///..." of an absolute path, reserved characters escaped.
    static std::string uriOf(const std::string& path);
    // The MD5 of the URI in lower-case hexadecimal, plus ".png".
    static std::string fileNameOf(const std::string& uri);

    const std::string& root() const { return m_root; }
    // Where the thumbnail of the file for the edge lives.
    std::string thumbnailPath(const std::string& file, int edge) const;
    std::string failurePath(const std::string& file) const;

    struct Thumbnail {
        std::unique_ptr<oxImage> image; // 8-bit; its source size the picture's when recorded
        oxSize full;                    // the picture's size; 0 x 0 when not recorded
        std::string comment;            // Pictavo's own thumbnails keep the picture's comment
    };
    // The cached thumbnail of the file for the edge when it is there and
    // current (URI, modification time and, when recorded, size match).
    std::optional<Thumbnail> find(const std::string& file, int edge) const;
    // Which state of a file a thumbnail was made from: a replaced file
    // (new inode) or one written in place differs even within one second.
    struct Stamp {
        int64_t mtime = 0, size = 0;
        uint64_t device = 0, inode = 0;
        int64_t ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    // Of a regular file; none otherwise.
    static std::optional<Stamp> stampOf(const std::string& file);
    // Stores an 8-bit picture as the file's thumbnail for the edge; full is
    // the picture's size in its file, made the state it was read in. False
    // when it cannot be written or the file is no longer in that state (so
    // that a late write never records an old picture as current).
    bool store(const std::string& file, int edge, const oxImage& thumbnail, const oxSize& full,
               const std::string& comment, const Stamp& made) const;

    // The reason the file could not be thumbnailed, when recorded for its
    // current state.
    std::optional<std::string> failure(const std::string& file) const;
    bool recordFailure(const std::string& file, const std::string& reason) const;

    // Drops every thumbnail and failure record of the file (it changed).
    void forget(const std::string& file) const;

private:
    std::string m_root;
    std::string m_program;
};
