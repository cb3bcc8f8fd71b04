// Hashes the chunks of a stream on a second thread while the caller writes
// them, so the sum costs no time on the copying thread. The pipe owns a few
// buffers: the caller fills one, hands it over, writes it out and takes the
// next; a buffer is given out again only once it has been hashed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sha256.h"

namespace NFS {

class HashPipe {
public:
    HashPipe(std::size_t chunkSize, std::size_t buffers);
    // Stops the hashing thread; a sum not asked for is dropped.
    ~HashPipe();
    HashPipe(const HashPipe&) = delete;
    HashPipe& operator=(const HashPipe&) = delete;

    std::size_t chunkSize() const { return chunkSize_; }
    // The next buffer to fill, waiting until the hasher is done with it.
    char* Acquire();
    // The buffer last acquired holds `size` bytes: hash them (in order).
    void Submit(std::size_t size);
    // Waits for every submitted chunk; the sum of all of them.
    std::wstring Finish();

private:
    void Work();

    std::size_t chunkSize_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    Sha256 sha_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::size_t, std::size_t>> queue_;  // buffer, bytes
    std::uint64_t submitted_ = 0;
    std::uint64_t hashed_ = 0;
    bool stop_ = false;
    bool failed_ = false;
    std::thread worker_;
};

}  // namespace NFS
