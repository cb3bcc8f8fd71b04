#include "hashpipe.h"

#include <algorithm>
#include <stdexcept>

namespace NFS {

HashPipe::HashPipe(std::size_t chunkSize, std::size_t buffers) : chunkSize_(chunkSize) {
    for (std::size_t i = 0; i < std::max<std::size_t>(buffers, 2); ++i)
        buffers_.push_back(std::make_unique_for_overwrite<char[]>(chunkSize_));
    worker_ = std::thread([this] { Work(); });
}

HashPipe::~HashPipe() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

char* HashPipe::Acquire() {
    std::unique_lock lock(mutex_);
    // Buffer n is free once chunk n - size has been hashed.
    changed_.wait(lock, [&] { return failed_ || submitted_ - hashed_ < buffers_.size(); });
    if (failed_) throw std::runtime_error("SHA-256: hashing failed");
    return buffers_[submitted_ % buffers_.size()].get();
}

void HashPipe::Submit(std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(submitted_ % buffers_.size(), size);
        ++submitted_;
    }
    changed_.notify_all();
}

std::wstring HashPipe::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || hashed_ == submitted_; });
    if (failed_) throw std::runtime_error("SHA-256: hashing failed");
    return sha_.HexFinal();
}

void HashPipe::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;
        const auto [buffer, size] = queue_.front();
        queue_.pop_front();
        lock.unlock();
        bool ok = true;
        try {
            sha_.Update(buffers_[buffer].get(), size);
        } catch (...) {
            ok = false;
        }
        lock.lock();
        if (!ok) failed_ = true;
        ++hashed_;
        changed_.notify_all();
    }
}

}  // namespace NFS
