#include "hashpipe.h"

#include <algorithm>

namespace NFS {

HashPipe::HashPipe(std::size_t chunkSize, std::size_t buffers)
    : HashPipe([this](const char* data, std::size_t size) { own_.Update(data, size); }, chunkSize,
               buffers) {}

HashPipe::HashPipe(Consume consume, std::size_t chunkSize, std::size_t buffers)
    : chunkSize_(chunkSize), consume_(std::move(consume)) {
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
    changed_.wait(lock, [&] { return failure_ || submitted_ - hashed_ < buffers_.size(); });
    if (failure_) std::rethrow_exception(failure_);
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

void HashPipe::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ || hashed_ == submitted_; });
    if (failure_) std::rethrow_exception(failure_);
}

std::wstring HashPipe::Finish() {
    Drain();
    return own_.HexFinal();
}

void HashPipe::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;
        const auto [buffer, size] = queue_.front();
        queue_.pop_front();
        // After a failure the rest is only counted: its sum could not be right.
        if (!failure_) {
            lock.unlock();
            std::exception_ptr failure;
            try {
                consume_(buffers_[buffer].get(), size);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (failure) failure_ = failure;
        }
        ++hashed_;
        changed_.notify_all();
    }
}

}  // namespace NFS
