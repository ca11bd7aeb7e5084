// The PNG writing thread (see PngQueue.h).
#include "PngQueue.h"

#include "PngWriter.h"

namespace host {

PngQueue::~PngQueue()
{
    std::string ignored;
    Finish(ignored);
}

bool PngQueue::Push(std::string path, std::vector<uint8_t> rgbBottomUp, int width, int height)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (!thread_.joinable()) {
        stopping_ = false;
        thread_ = std::thread(&PngQueue::Run, this);
    }
    changed_.wait(guard, [&] { return waiting_.size() < kMaxWaiting || !error_.empty(); });
    if (!error_.empty()) return false;
    waiting_.push_back(Picture{std::move(path), std::move(rgbBottomUp), width, height});
    changed_.notify_all();
    return true;
}

bool PngQueue::Finish(std::string& error)
{
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (!thread_.joinable()) {
            error = error_;
            return error_.empty();
        }
        stopping_ = true;
        changed_.notify_all();
    }
    thread_.join();
    error = error_;
    return error_.empty();
}

void PngQueue::Run()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return !waiting_.empty() || stopping_; });
        if (waiting_.empty()) return;
        Picture picture = std::move(waiting_.front());
        waiting_.pop_front();
        changed_.notify_all();
        guard.unlock();
        std::string error;
        const bool ok =
            WritePng(picture.path, picture.rgb.data(), picture.width, picture.height, kFastPng, error, true);
        guard.lock();
        if (!ok && error_.empty()) {
            error_ = error;
            waiting_.clear();
            changed_.notify_all();
        }
    }
}

}  // namespace host
