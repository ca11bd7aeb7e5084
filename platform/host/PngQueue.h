// PNG pictures written on a thread of their own, so that compressing one
// frame overlaps rendering the next. At most a few pictures wait; Push blocks
// while the queue is full, which bounds the memory they hold.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class PngQueue {
public:
    PngQueue() = default;
    ~PngQueue();
    PngQueue(const PngQueue&) = delete;
    PngQueue& operator=(const PngQueue&) = delete;

    // Queues one picture, RGB rows bottom row first; false once a write has
    // failed (error then says which).
    bool Push(std::string path, std::vector<uint8_t> rgbBottomUp, int width, int height);
    // Writes what is queued and stops the thread; false with the first error.
    bool Finish(std::string& error);

private:
    struct Picture {
        std::string path;
        std::vector<uint8_t> rgb;
        int width;
        int height;
    };
    void Run();

    static constexpr size_t kMaxWaiting = 3;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Picture> waiting_;
    bool stopping_ = false;
    std::string error_;
    std::thread thread_;
};

}  // namespace host
