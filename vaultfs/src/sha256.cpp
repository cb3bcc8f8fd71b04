#include "sha256.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace NFS {

namespace {

void Check(int ok, const char* what) {
    if (ok != 1) throw std::runtime_error(std::string("SHA-256: ") + what + " failed");
}

}  // namespace

void Sha256::Free::operator()(evp_md_ctx_st* ctx) const { EVP_MD_CTX_free(ctx); }

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_) throw std::bad_alloc();
    Check(EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr), "init");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
    Check(EVP_DigestUpdate(ctx_.get(), data, size), "update");
}

std::wstring Sha256::HexFinal() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    Check(EVP_DigestFinal_ex(ctx_.get(), digest, &length), "final");
    Check(EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr), "init");
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0xf];
    }
    return text;
}

}  // namespace NFS
