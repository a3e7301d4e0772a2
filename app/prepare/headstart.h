// The start picture decoded while the window and the GL driver come up:
// decoding needs neither, and on a software renderer loading the driver takes
// about as long as decoding a photo, so the two run side by side.
#pragma once

#include "oxengine/core/thread.h"
#include "oxengine/image/image.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class DecodeHeadStart {
public:
    DecodeHeadStart() = default;
    DecodeHeadStart(const DecodeHeadStart&) = delete;
    DecodeHeadStart& operator=(const DecodeHeadStart&) = delete;
    // Stops a decode still running and waits for it.
    ~DecodeHeadStart();

    // Decodes the file on a thread of its own (options.cancel is replaced by
    // the head start's own token). Once only; later calls do nothing.
    void start(const std::string& fileName, oxLoadOptions options);
    // The first call ends the head start. Asked for the file and size it was
    // started with, it returns the decoded picture, waiting for it, or throws
    // what the decode threw. Anything else (and every later call) gets
    // nullptr, and a decode still running is stopped. Cancelling the caller's
    // token stops the wait and the decode, and throws oxCancelled.
    // Waits at most limit for the decode and lends its picture without
    // ending the head start: null when none was started, it failed, is not
    // done by then or was taken. Only while nothing can call take (the
    // picture is take's to hand over).
    const oxImage* wait(std::chrono::milliseconds limit);
    std::unique_ptr<oxImage> take(const std::string& fileName, const oxSize& maximum,
                                  const oxCancelToken& cancel = oxCancelToken::none());

private:
    std::mutex m_mutex; // m_taken, m_done
    std::condition_variable m_doneChanged;
    bool m_taken = false;
    bool m_done = false;
    std::string m_fileName;
    oxSize m_maximum;
    oxCancelToken m_cancel;
    // Written by the thread, read after joining it.
    std::unique_ptr<oxImage> m_image;
    std::exception_ptr m_failure;
    std::thread m_thread;
};
