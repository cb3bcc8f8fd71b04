// The calling thread's alternate signal stack, so that a fault handler still
// runs when the thread's own stack is exhausted.
#pragma once

#include <signal.h>

#include <cstddef>

namespace ZUBBASE {

class AltSignalStack {
public:
    // Maps `size` bytes (plus a guard page below them) and makes them the
    // calling thread's signal stack; the stack in place before is kept.
    // Throws std::system_error on failure.
    explicit AltSignalStack(std::size_t size);
    // Must run on the thread that built it: puts the earlier stack back.
    ~AltSignalStack();

    AltSignalStack(const AltSignalStack&) = delete;
    AltSignalStack& operator=(const AltSignalStack&) = delete;

private:
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    void* stack_ = nullptr;
    stack_t previous_{};
};

}  // namespace ZUBBASE
