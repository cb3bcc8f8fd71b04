// SHA-256 of a byte stream fed in pieces (OpenSSL's libcrypto, which uses the
// processor's SHA instructions where there are any).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct evp_md_ctx_st;

namespace NFS {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The sum as 64 lower-case hex digits; the object starts over afterwards.
    std::wstring HexFinal();

private:
    struct Free {
        void operator()(evp_md_ctx_st* ctx) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> ctx_;
};

}  // namespace NFS
