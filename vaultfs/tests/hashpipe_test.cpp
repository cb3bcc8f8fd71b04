// The pipe's sum must be the sum of the submitted bytes in order, however
// they were cut and however far the hasher lags behind.
#include "hashpipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "sha256.h"
#include "sumdata.h"

namespace zub::vaultfs::test {

namespace {

// Feeds `data` through `pipe` in pieces of at most `piece` bytes.
void Feed(NFS::HashPipe& pipe, const std::string& data, std::size_t piece) {
    for (std::size_t done = 0; done < data.size();) {
        const std::size_t n = std::min({piece, pipe.chunkSize(), data.size() - done});
        char* buffer = pipe.Acquire();
        std::memcpy(buffer, data.data() + done, n);
        pipe.Submit(n);
        done += n;
    }
}

struct Case {
    const char* name;
    std::size_t size;
    std::size_t chunk;
    std::size_t buffers;
    std::size_t piece;
};

const Case kCases[] = {
    {"nothing", 0, 64, 2, 64},
    {"one byte", 1, 64, 2, 64},
    {"exactly one chunk", 64, 64, 2, 64},
    {"many full chunks, few buffers", 64 * 1000, 64, 2, 64},
    {"uneven pieces", 10007, 64, 3, 61},
    {"more buffers than chunks", 100, 64, 16, 64},
};

TEST(HashPipe, ItsOwnSumIsTheSumOfTheSubmittedBytes) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string data = Pattern(c.size);
        NFS::HashPipe pipe(c.chunk, c.buffers);
        Feed(pipe, data, c.piece);
        EXPECT_EQ(pipe.Finish(), SumOf(data));
    }
}

TEST(HashPipe, AConsumerGetsEverySubmittedByteInOrderOnceDrained) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string data = Pattern(c.size);
        NFS::Sha256 sum;
        std::string seen;
        NFS::HashPipe pipe(
            [&](const char* chunk, std::size_t size) {
                sum.Update(chunk, size);
                seen.append(chunk, size);
            },
            c.chunk, c.buffers);
        Feed(pipe, data, c.piece);
        pipe.Drain();
        EXPECT_EQ(seen, data);
        EXPECT_EQ(sum.HexFinal(), SumOf(data));
    }
}

// A consumer that fails on its third chunk: the failure reaches whoever waits
// on the pipe next, whether a free buffer or the end, and nothing after the
// failed chunk is consumed.
TEST(HashPipe, AConsumersFailureReachesTheCaller) {
    struct FailCase {
        const char* name;
        std::size_t chunks;  // submitted before the caller waits
        bool drain;          // waits for the end rather than for a buffer
    };
    for (const FailCase c : {FailCase{"at the end", 3, true}, FailCase{"for a buffer", 40, false},
                             FailCase{"after more chunks", 10, true}}) {
        SCOPED_TRACE(c.name);
        std::size_t consumed = 0;
        NFS::HashPipe pipe(
            [&](const char*, std::size_t) {
                if (++consumed == 3) throw std::runtime_error("no more");
            },
            16, 2);
        const auto run = [&] {
            for (std::size_t i = 0; i < c.chunks; ++i) {
                std::memset(pipe.Acquire(), 'x', 16);
                pipe.Submit(16);
            }
            if (c.drain) pipe.Drain();
        };
        EXPECT_THROW(
            {
                try {
                    run();
                } catch (const std::runtime_error& e) {
                    EXPECT_STREQ(e.what(), "no more");
                    throw;
                }
            },
            std::runtime_error);
        EXPECT_THROW(pipe.Drain(), std::runtime_error);
        EXPECT_EQ(consumed, 3u);
    }
}

// A caller that gives up with chunks still queued: the pipe stops without
// waiting for anything more and consumes only what was submitted.
TEST(HashPipe, APipeLeftWithQueuedChunksStops) {
    std::size_t consumed = 0;
    {
        NFS::HashPipe pipe([&](const char*, std::size_t size) { consumed += size; }, 8, 4);
        for (int i = 0; i < 3; ++i) {
            std::memset(pipe.Acquire(), 'y', 8);
            pipe.Submit(8);
        }
        (void)pipe.Acquire();  // taken, never submitted
    }
    EXPECT_EQ(consumed, 24u);
}

}  // namespace

}  // namespace zub::vaultfs::test
