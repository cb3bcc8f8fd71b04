#include "davclient.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "fsutil.h"
#include "hashpipe.h"
#include "sha256.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

namespace {

// Error bodies and PROPFIND answers are kept up to this size.
constexpr std::size_t kMaxAnswer = std::size_t{64} << 20;

// A long downloaded body is gathered into chunks, each written out here while
// a second thread hashes it: libcurl hands the body over in pieces of 16 KiB,
// too small to pass between threads one by one. Measured on a loopback
// server: larger chunks cost more processor time, smaller ones more hand-overs.
constexpr std::size_t kBodyChunk = std::size_t{256} << 10;
constexpr std::size_t kBodyChunks = 8;
// Shorter bodies are hashed as they come (a thread would cost more than it
// saves) and their files grow as written.
constexpr curl_off_t kPipedBody = curl_off_t{1} << 20;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

void Set(CURL* curl, CURLoption option, long value) { curl_easy_setopt(curl, option, value); }

bool Dropped(CURLcode code) {
    return code == CURLE_COULDNT_CONNECT || code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR ||
           code == CURLE_GOT_NOTHING || code == CURLE_PARTIAL_FILE;
}

long NumberFor(CURLcode code) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            return NFS_E_TIMEOUT;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return NFS_E_TLS;
        case CURLE_OUT_OF_MEMORY:
            return NFS_E_NO_MEMORY;
        default:
            return NFS_E_UNREACHABLE;
    }
}

}  // namespace

struct DavClient::Handle {
    CURL* curl = nullptr;
    ~Handle() {
        if (curl != nullptr) curl_easy_cleanup(curl);
    }
};

struct DavClient::Transfer {
    Request* request = nullptr;
    CURL* curl = nullptr;
    std::uint64_t sent = 0;  // offset in the upload file
    std::exception_ptr failure;
    std::size_t bodySent = 0;

    bool Success() const {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        return status >= 200 && status < 300;
    }

    void Report(std::uint64_t total) {
        if (request->progress) request->progress(request->moved, total);
    }

    static std::size_t Read(char* buffer, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        Request& r = *t->request;
        try {
            if (r.uploadFd < 0) {
                const std::size_t n = std::min(size * count, r.body.size() - t->bodySent);
                std::copy_n(r.body.data() + t->bodySent, n, buffer);
                t->bodySent += n;
                return n;
            }
            const ssize_t n =
                ::pread(r.uploadFd, buffer, size * count, static_cast<off_t>(t->sent));
            if (n < 0) fsutil::ThrowErrno(errno, "cannot read", "the file to upload");
            const auto got = static_cast<std::uint64_t>(n);
            if (got == 0 && t->sent < r.uploadSize)
                throw NfsError(NFS_E_IO,
                               zub::Format(ZUB_N_(L"the file to upload %ls shrank while sent"),
                                           r.shown.c_str()));
            t->sent += got;
            r.moved = t->sent;
            if (r.hash != nullptr) r.hash->Update(buffer, got);
            t->Report(r.uploadSize);
            return static_cast<std::size_t>(got);
        } catch (...) {
            t->failure = std::current_exception();
            return CURL_READFUNC_ABORT;
        }
    }

    static int Seek(void* self, curl_off_t offset, int origin) {
        auto* t = static_cast<Transfer*>(self);
        // Only a rewind to the start is ever needed (a resent request).
        if (origin != SEEK_SET || offset != 0) return CURL_SEEKFUNC_CANTSEEK;
        t->sent = 0;
        t->bodySent = 0;
        t->request->moved = 0;
        if (t->request->hash != nullptr) (void)t->request->hash->HexFinal();
        return CURL_SEEKFUNC_OK;
    }

    // The first bytes of a 2xx answer's body; `length` is its Content-Length,
    // -1 when not sent.
    void Start(curl_off_t length) {
        started = true;
        Request& r = *request;
        if (length >= 0 && length < kPipedBody) return;
        // Reserving a long file's blocks at once spares the file system doing
        // it page by page as the body is written. Best effort: a file system
        // that cannot still gets the writes, which report any real failure.
        if (length > 0 && r.downloadFd >= 0)
            (void)::fallocate(r.downloadFd, FALLOC_FL_KEEP_SIZE, 0, length);
        if (r.hash != nullptr)
            pipe.emplace(
                [&sum = *r.hash](const char* piece, std::size_t size) { sum.Update(piece, size); },
                kBodyChunk, kBodyChunks);
    }

    // The body of a 2xx answer, for its file and its hash.
    void Keep(const char* data, std::size_t n, curl_off_t length) {
        Request& r = *request;
        if (!started) Start(length);
        if (!pipe) {
            if (r.hash != nullptr) r.hash->Update(data, n);
            WriteOut(data, n);
            return;
        }
        while (n > 0) {
            if (chunk == nullptr) {
                chunk = pipe->Acquire();
                filled = 0;
            }
            const std::size_t take = std::min(n, kBodyChunk - filled);
            std::copy_n(data, take, chunk + filled);
            filled += take;
            data += take;
            n -= take;
            if (filled == kBodyChunk) Flush();
        }
    }

    // Hands the gathered chunk to the hasher, then writes it.
    void Flush() {
        if (chunk == nullptr) return;
        pipe->Submit(filled);
        const char* data = chunk;
        chunk = nullptr;
        WriteOut(data, filled);
    }

    // Every byte kept is written and hashed.
    void Finish() {
        if (!pipe) return;
        Flush();
        pipe->Drain();
    }

    void WriteOut(const char* data, std::size_t n) const {
        const int fd = request->downloadFd;
        for (std::size_t done = 0; done < n && fd >= 0;) {
            const ssize_t w = ::write(fd, data + done, n - done);
            if (w < 0) {
                if (errno == EINTR) continue;
                fsutil::ThrowErrno(errno, "cannot write", "the downloaded file");
            }
            done += static_cast<std::size_t>(w);
        }
    }

    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        Request& r = *t->request;
        const std::size_t n = size * count;
        try {
            if ((r.downloadFd < 0 && !r.discard) || !t->Success()) {
                if (r.answer.size() + n > kMaxAnswer)
                    throw NfsError(NFS_E_IO,
                                   zub::Format(ZUB_N_(L"the server's answer about %ls is too long"),
                                               r.shown.c_str()));
                r.answer.append(data, n);
                return n;
            }
            curl_off_t length = -1;
            curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t->Keep(data, n, length);
            r.moved += n;
            t->Report(length > 0 ? static_cast<std::uint64_t>(length) : 0);
            return n;
        } catch (...) {
            t->failure = std::current_exception();
            return CURL_WRITEFUNC_ERROR;
        }
    }

    // One per attempt: its thread has stopped before a retry starts the sum over.
    std::optional<HashPipe> pipe;
    bool started = false;   // the body has begun
    char* chunk = nullptr;  // acquired from the pipe, being filled
    std::size_t filled = 0;
};

DavClient::DavClient(std::string origin, Options options)
    : origin_(std::move(origin)),
      options_(std::move(options)),
      handle_(std::make_unique<Handle>()) {
    static CurlGlobal global;
    handle_->curl = curl_easy_init();
    if (handle_->curl == nullptr)
        throw NfsError(NFS_E_NO_MEMORY, ZUB_N_(L"cannot make a connection"));
    CURL* curl = handle_->curl;
    Set(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A redirect could lead the login and the files anywhere: none is followed.
    Set(curl, CURLOPT_FOLLOWLOCATION, 0L);
    Set(curl, CURLOPT_CONNECTTIMEOUT, options_.connectSeconds);
    Set(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    Set(curl, CURLOPT_LOW_SPEED_TIME, options_.stallSeconds);
    Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    Set(curl, CURLOPT_BUFFERSIZE, CURL_MAX_READ_SIZE);
    Set(curl, CURLOPT_UPLOAD_BUFFERSIZE, 2L << 20);
    Set(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    if (!options_.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options_.caFile.c_str());
}

DavClient::~DavClient() = default;

void DavClient::Login(const std::string& user, const std::string& password) {
    // Handed to libcurl only: never part of a URL, a log or an error text.
    curl_easy_setopt(handle_->curl, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(handle_->curl, CURLOPT_PASSWORD, password.c_str());
    Set(handle_->curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
}

long DavClient::Send(Request& request) {
    CURL* curl = handle_->curl;
    const std::string url = origin_ + request.path;
    curl_slist* headers = nullptr;
    struct FreeList {
        curl_slist*& list;
        ~FreeList() { curl_slist_free_all(list); }
    } freeHeaders{headers};
    for (const std::string& header : request.headers)
        headers = curl_slist_append(headers, header.c_str());

    for (int attempt = 0;; ++attempt) {
        Transfer transfer;
        transfer.request = &request;
        transfer.curl = curl;
        request.answer.clear();
        request.moved = 0;
        request.length = -1;
        if (request.downloadFd >= 0 && (::ftruncate(request.downloadFd, 0) != 0 ||
                                        ::lseek(request.downloadFd, 0, SEEK_SET) != 0))
            fsutil::ThrowErrno(errno, "cannot rewind", "the downloaded file");
        if (request.hash != nullptr) (void)request.hash->HexFinal();

        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::Write);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Transfer::Read);
        curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, &Transfer::Seek);
        curl_easy_setopt(curl, CURLOPT_SEEKDATA, &transfer);
        const std::string method = request.method;
        const bool upload = request.uploadFd >= 0 || request.sendBody;
        Set(curl, CURLOPT_NOBODY, 0L);
        Set(curl, CURLOPT_HTTPGET, 1L);
        if (upload) {
            Set(curl, CURLOPT_UPLOAD, 1L);
            const auto size = request.uploadFd >= 0 ? request.uploadSize : request.body.size();
            curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        }
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method == "GET" ? nullptr : method.c_str());

        ++requests_;
        ++byMethod_[method];
        const CURLcode code = curl_easy_perform(curl);
        Set(curl, CURLOPT_UPLOAD, 0L);
        curl_off_t uploaded = 0;
        curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &uploaded);
        sent_ += static_cast<std::uint64_t>(uploaded);
        if (transfer.failure) std::rethrow_exception(transfer.failure);
        if (code == CURLE_OK) {
            transfer.Finish();
            long status = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            curl_off_t length = -1;
            curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            request.length = length;
            return status;
        }
        if (request.idempotent && Dropped(code) && attempt < options_.retries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.retryPauseMs));
            continue;
        }
        throw NfsError(NumberFor(code),
                       zub::Format(ZUB_N_(L"%ls of \"%ls\" on %ls failed: %ls"),
                                   zub::Utf8ToWide(method).c_str(), request.shown.c_str(),
                                   zub::Utf8ToWide(origin_).c_str(),
                                   zub::Utf8ToWide(curl_easy_strerror(code)).c_str()));
    }
}

}  // namespace NFS
