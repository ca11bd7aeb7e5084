// The picture writing thread (see PictureQueue.h).
#include "PictureQueue.h"

namespace host {

PictureQueue::~PictureQueue()
{
    std::string ignored;
    Finish(ignored);
}

bool PictureQueue::Push(std::string path, std::vector<uint8_t>& rgb, int width, int height)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (!thread_.joinable()) {
        stopping_ = false;
        thread_ = std::thread(&PictureQueue::Run, this);
    }
    changed_.wait(guard, [&] { return waiting_.size() < kMaxWaiting || !error_.empty(); });
    if (!error_.empty()) return false;
    Picture picture{std::move(path), std::move(rgb), width, height};
    rgb.clear();
    if (!spare_.empty()) {
        rgb.swap(spare_.back());
        spare_.pop_back();
    }
    waiting_.push_back(std::move(picture));
    changed_.notify_all();
    return true;
}

bool PictureQueue::Finish(std::string& error)
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

void PictureQueue::Run()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return !waiting_.empty() || stopping_; });
        if (waiting_.empty()) return;
        // The picture stays at the front while it is written, so that the
        // queue never holds more than its bound.
        Picture& picture = waiting_.front();
        guard.unlock();
        std::string error;
        const bool ok = writer_(picture, error);
        guard.lock();
        spare_.push_back(std::move(picture.rgb));
        waiting_.pop_front();
        if (!ok && error_.empty()) {
            error_ = error;
            waiting_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace host
