#include "altsignalstack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ZUBBASE {

AltSignalStack::AltSignalStack(std::size_t size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    size = (size + page - 1) / page * page;
    mappingSize_ = size + page;
    mapping_ = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        throw std::system_error(errno, std::generic_category(), "signal stack: mmap");
    }
    // An overflow of the handler itself must fault, not run into other data.
    if (mprotect(mapping_, page, PROT_NONE) != 0) {
        const int error = errno;
        munmap(mapping_, mappingSize_);
        throw std::system_error(error, std::generic_category(), "signal stack: mprotect");
    }
    stack_ = static_cast<char*>(mapping_) + page;

    stack_t ours{};
    ours.ss_sp = stack_;
    ours.ss_size = size;
    ours.ss_flags = 0;
    if (sigaltstack(&ours, &previous_) != 0) {
        const int error = errno;
        munmap(mapping_, mappingSize_);
        throw std::system_error(error, std::generic_category(), "sigaltstack");
    }
}

AltSignalStack::~AltSignalStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == stack_) {
        // The earlier owner (a sanitizer runtime, say) frees its own stack later.
        if ((previous_.ss_flags & SS_DISABLE) != 0) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        } else {
            previous_.ss_flags &= ~SS_ONSTACK;
            sigaltstack(&previous_, nullptr);
        }
    }
    munmap(mapping_, mappingSize_);
}

}  // namespace ZUBBASE
