// Hashes the chunks of a stream on a second thread while the caller writes
// them, so the sum costs no time on the copying thread. The pipe owns a few
// buffers: the caller fills one, hands it over, writes it out and takes the
// next; a buffer is given out again only once it has been hashed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sha256.h"

namespace NFS {

class HashPipe {
public:
    // Takes each chunk on the pipe's thread, in the order submitted.
    using Consume = std::function<void(const char* data, std::size_t size)>;

    // Hashes into a sum of its own (see Finish).
    HashPipe(std::size_t chunkSize, std::size_t buffers);
    // Hands the chunks to `consume` instead, e.g. to a sum the caller owns.
    HashPipe(Consume consume, std::size_t chunkSize, std::size_t buffers);
    // Stops the thread once the chunks submitted are consumed; a sum not
    // asked for is dropped.
    ~HashPipe();
    HashPipe(const HashPipe&) = delete;
    HashPipe& operator=(const HashPipe&) = delete;

    std::size_t chunkSize() const { return chunkSize_; }
    // The next buffer to fill, waiting until the hasher is done with it.
    // Rethrows what the consumer threw.
    char* Acquire();
    // The buffer last acquired holds `size` bytes: hash them (in order).
    void Submit(std::size_t size);
    // Waits until every submitted chunk is consumed; rethrows what the
    // consumer threw.
    void Drain();
    // Drains; the sum of all chunks (a pipe with a sum of its own).
    std::wstring Finish();

private:
    void Work();

    std::size_t chunkSize_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    Sha256 own_;
    Consume consume_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::size_t, std::size_t>> queue_;  // buffer, bytes
    std::uint64_t submitted_ = 0;
    std::uint64_t hashed_ = 0;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

}  // namespace NFS
