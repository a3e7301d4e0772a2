// The roles of the background loader that views and dialogs see, beside the
// pictures of TextureLoader: the thumbnail set of the picture list, and the
// file operations carried out in the background. Views and dialogs hold these
// interfaces, never the loader itself.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/core/thread.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/tonemap.h"

#include <string>
#include <utility>

// A thumbnail record held for reading. While a reader lives the loader can
// neither drop nor refill the record: it holds the loader's set lock and the
// record's own lock (in that order, the loader's lock order). Keep readers
// short-lived: one cell drawn, one value read.
class ThumbnailReader {
public:
    ThumbnailReader() = default; // no thumbnail
    ThumbnailReader(oxCriticalSection& setLock, LoadedPicture& record) : m_setLock(&setLock), m_record(&record)
    {
        m_setLock->enter();
        m_record->lock.enter();
    }
    ThumbnailReader(ThumbnailReader&& other) noexcept
        : m_setLock(std::exchange(other.m_setLock, nullptr)), m_record(std::exchange(other.m_record, nullptr))
    {
    }
    ThumbnailReader& operator=(ThumbnailReader&& other) noexcept
    {
        if (this != &other) {
            release();
            m_setLock = std::exchange(other.m_setLock, nullptr);
            m_record = std::exchange(other.m_record, nullptr);
        }
        return *this;
    }
    ThumbnailReader(const ThumbnailReader&) = delete;
    ThumbnailReader& operator=(const ThumbnailReader&) = delete;
    ~ThumbnailReader() { release(); }

    explicit operator bool() const { return m_record != nullptr; }
    const LoadedPicture& operator*() const { return *m_record; }
    const LoadedPicture* operator->() const { return m_record; }
    const LoadedPicture* get() const { return m_record; }

private:
    void release()
    {
        if (m_record) {
            m_record->lock.leave();
            m_setLock->leave();
        }
        m_record = nullptr;
        m_setLock = nullptr;
    }

    oxCriticalSection* m_setLock = nullptr;
    LoadedPicture* m_record = nullptr;
};

// How far the loader has come with its queue since it was last empty.
struct LoaderProgress {
    int done = 0;
    int queued = 0;
    bool operator==(const LoaderProgress&) const = default;
};

// The thumbnail set of the picture list, for the thumbnail view.
class ThumbnailSource {
public:
    virtual ~ThumbnailSource() = default;
    // Makes the set follow the picture list: missing thumbnails are queued,
    // those of names no longer listed are dropped.
    virtual void updateThumbnails() = 0;
    // The thumbnail of the name, held for reading; empty when there is none.
    virtual ThumbnailReader readThumbnail(const std::string& name) = 0;
    virtual LoaderProgress progress() = 0;
    // The largest edge of thumbnails made from now on.
    virtual void setThumbnailSize(int size) = 0;
    // How many thumbnails the view wants kept at most.
    virtual void setThumbnailCount(int count) = 0;
    // The list indexes of the cells on screen (inclusive): their thumbnails
    // are made first. first > last: not known.
    virtual void setVisibleRange(int first, int last)
    {
        (void)first;
        (void)last;
    }
};

// A file operation that failed, for the application to show.
struct FileOperationFailure {
    enum Operation { TRANSFORM, CONVERT, COPY, MOVE };
    Operation operation = TRANSFORM;
    std::string name;   // the file the operation worked on
    std::string target; // of a conversion, copy or move
    std::string reason; // why, as the error said it (may be empty)
    unsigned batch = 0; // the batch it belonged to, 0 for none
};

// File operations carried out in the background, in the order they are
// asked for. A notify code other than 0 is posted to the application once
// the operation is over, done or failed. Failures go to the loader's report
// hook, never to a box of the loader's own.
class PictureOperations {
public:
    virtual ~PictureOperations() = default;
    // Lossless rotation and comment changes.
    virtual void transformPicture(const std::string& name, const oxImageTransform& transform) = 0;
    // width, height: > 0 pixels, < 0 percent, 0 follows the other side.
    virtual void convertPicture(const std::string& name, const std::string& target, int width, int height,
                                const oxToneMapping& toneMapping, unsigned notifyCode) = 0;
    virtual void copyMovePicture(const std::string& name, const std::string& target, bool copy,
                                 unsigned notifyCode) = 0;
    // The operations asked for between beginBatch and endBatch form one
    // batch: their failures are reported together, once endBatch was called
    // and the last of them is done. Without a batch each failure is reported
    // as it happens.
    virtual void beginBatch() {}
    virtual void endBatch() {}
};

// Opens a batch for its lifetime.
class PictureOperationBatch {
public:
    explicit PictureOperationBatch(PictureOperations& operations) : m_operations(operations)
    {
        m_operations.beginBatch();
    }
    ~PictureOperationBatch() { m_operations.endBatch(); }
    PictureOperationBatch(const PictureOperationBatch&) = delete;
    PictureOperationBatch& operator=(const PictureOperationBatch&) = delete;

private:
    PictureOperations& m_operations;
};
