// Pictures passed on by a thread of their own (into ffmpeg's pipe, into PNG
// files), so that rendering the next frames goes on while one is written:
// a pipe of a frame or less would otherwise stop the renderer every time the
// encoder is busy, and leave the encoder waiting while the renderer draws.
// At most a few pictures wait; Push blocks while the queue is full, which
// bounds the memory they hold, and the buffers of written pictures come
// back to the caller, so that a steady stream allocates no picture buffers.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

struct Picture {
    std::string path;          // where the picture goes, for a writer that takes a name
    std::vector<uint8_t> rgb;  // RGB rows, bottom row first
    int width = 0;
    int height = 0;
};

class PictureQueue {
public:
    // Passes one picture on; false with an error that says why.
    using Writer = std::function<bool(const Picture& picture, std::string& error)>;

    explicit PictureQueue(Writer writer) : writer_(std::move(writer)) {}
    ~PictureQueue();
    PictureQueue(const PictureQueue&) = delete;
    PictureQueue& operator=(const PictureQueue&) = delete;

    // Queues the picture held in rgb and leaves rgb holding the buffer of a
    // picture already written (or empty); false once a write has failed.
    bool Push(std::string path, std::vector<uint8_t>& rgb, int width, int height);
    // Writes what is queued and stops the thread; false with the first error.
    bool Finish(std::string& error);

private:
    void Run();

    static constexpr size_t kMaxWaiting = 3;
    Writer writer_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Picture> waiting_;
    std::vector<std::vector<uint8_t>> spare_;  // buffers of written pictures
    bool stopping_ = false;
    std::string error_;
    std::thread thread_;
};

}  // namespace host
