#include "vaultfs/webdavbackend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "atomicfile.h"
#include "davclient.h"
#include "davlisting.h"
#include "davurl.h"
#include "fsutil.h"
#include "sha256.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootowner.h"
#include "zub/i18n.h"
#include "zub/text.h"
#include "zub/uniquefd.h"

namespace NFS {

namespace fs = std::filesystem;
using fsutil::Quoted;
using Request = DavClient::Request;

namespace {

std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }
std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The answers a request may get besides success, as the component's numbers.
[[noreturn]] void Fail(long status, const Request& r) {
    long number = NFS_E_HTTP;
    const wchar_t* format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, unexpected answer");
    if (status == 401) {
        number = NFS_E_LOGIN;
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the login was refused");
    } else if (status == 403) {
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, access is forbidden");
    } else if (status == 404 || status == 409) {
        number = NFS_E_NOT_FOUND;
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the entry or its folder does not exist");
    } else if (status == 412) {
        number = NFS_E_EXISTS;
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the target already exists");
    } else if (status == 423) {
        number = NFS_E_LOCKED;
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the entry is locked");
    } else if (status == 507) {
        number = NFS_E_NO_SPACE;
        format = ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the server has no room left");
    } else if (status >= 300 && status < 400) {
        number = NFS_E_REDIRECT;
        format =
            ZUB_N_(L"%ls of \"%ls\": HTTP %ld, the server redirects elsewhere, which is refused");
    }
    throw NfsError(number,
                   zub::Format(format, zub::Utf8ToWide(r.method).c_str(), r.shown.c_str(), status));
}

bool Ok(long status) { return status >= 200 && status < 300; }

bool PlainName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"/\\") == std::wstring::npos &&
           name.find(L'\0') == std::wstring::npos;
}

// Progress of one file within a tree of `total` bytes, `done` before it.
DavClient::Progress StepFor(const NfsBackend::Progress& progress, std::uint64_t done,
                            std::uint64_t total) {
    if (!progress) return {};
    return [&progress, done, total](std::uint64_t moved, std::uint64_t) {
        progress(done + moved, total);
    };
}

// Fails when what moved is not what the caller recorded: a local file or one
// on the server, at `path`.
void CheckSum(const ContentSum* sum, const std::wstring& got, std::uint64_t bytes, bool local,
              const std::wstring& path) {
    if (sum == nullptr) return;
    if (sum->expectBytes >= 0 && static_cast<std::uint64_t>(sum->expectBytes) != bytes)
        throw NfsError(NFS_E_CONTENT, fsutil::SizeDiffers(local, path, sum->expectBytes, bytes));
    if (!sum->expect.empty() && got != sum->expect)
        throw NfsError(NFS_E_CONTENT, fsutil::SumDiffers(local, path, sum->expect, got));
}

}  // namespace

struct WebDavBackend::Impl {
    Impl(const std::wstring& server, unsigned short port, const Options& options)
        : url(DavUrl::Parse(server, port)),
          client(url.origin, DavClient::Options{options.connectSeconds, options.stallSeconds,
                                                options.retries, 200, url.caFile}) {}

    std::mutex mutex;
    DavUrl url;
    bool holdsFolderMade = false;
    DavClient client;

    Request Make(const char* method, std::string path, const std::wstring& shown) {
        Request r;
        r.method = method;
        r.path = std::move(path);
        r.shown = shown;
        return r;
    }

    std::string Destination(const std::string& path) const {
        return "Destination: " + url.origin + path;
    }

    // The entries PROPFIND reports at `path` (depth 0 or 1); nothing when missing.
    std::optional<std::vector<DavEntry>> Find(const std::string& path, const std::wstring& shown,
                                              const char* depth) {
        Request r = Make("PROPFIND", path, shown);
        r.headers = {std::string("Depth: ") + depth,
                     "Content-Type: application/xml; charset=utf-8"};
        r.body = DavPropfindBody();
        r.sendBody = true;
        const long status = client.Send(r);
        if (status == 404) return std::nullopt;
        if (status != 207) Fail(status, r);
        return ParseDavListing(r.answer, shown);
    }

    std::optional<DavEntry> Stat(const std::string& path, const std::wstring& shown) {
        auto found = Find(path, shown, "0");
        if (!found) return std::nullopt;
        if (found->empty())
            throw NfsError(NFS_E_HTTP, zub::Format(ZUB_N_(L"PROPFIND of \"%ls\": an empty answer"),
                                                   shown.c_str()));
        return found->front();
    }

    // The entries right below a folder, temporaries left out, in name order.
    std::vector<DavEntry> Children(const std::string& path, const std::wstring& shown) {
        auto found = Find(path + "/", shown, "1");
        if (!found)
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" is gone"), shown.c_str()));
        std::string self;
        PercentDecode(path, self);
        std::vector<DavEntry> children;
        for (DavEntry& entry : *found) {
            if (entry.path == self || Parent(entry.path) != self) continue;
            if (fsutil::IsTemporaryName(Name(entry.path))) continue;
            children.push_back(std::move(entry));
        }
        std::sort(children.begin(), children.end(),
                  [](const DavEntry& a, const DavEntry& b) { return a.path < b.path; });
        return children;
    }

    struct Item {
        std::wstring relative;  // '\\'-joined
        std::string path;       // encoded
        DavEntry entry;
    };
    // Depth first, one PROPFIND (depth 1) per folder.
    void Walk(const std::string& path, const std::wstring& shown, const std::wstring& relative,
              std::vector<Item>& items) {
        for (DavEntry& entry : Children(path, shown)) {
            const std::string name = Name(entry.path);
            const std::wstring wide = zub::Utf8ToWide(name);
            Item item{relative.empty() ? wide : relative + L"\\" + wide,
                      path + "/" + PercentEncode(name), std::move(entry)};
            const bool folder = item.entry.folder;
            const std::string below = item.path;
            const std::wstring rel = item.relative;
            items.push_back(std::move(item));
            if (folder) Walk(below, shown + L"\\" + wide, rel, items);
        }
    }

    DavEntry Expect(const std::string& path, const std::wstring& shown, bool folder) {
        auto entry = Stat(path, shown);
        if (!entry)
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(folder ? ZUB_N_(L"the folder \"%ls\" does not exist")
                                              : ZUB_N_(L"the file \"%ls\" does not exist"),
                                       shown.c_str()));
        if (entry->folder != folder)
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(folder ? ZUB_N_(L"the path \"%ls\" is not a folder")
                                              : ZUB_N_(L"the path \"%ls\" is a folder, not a file"),
                                       shown.c_str()));
        return *entry;
    }

    void MakeFolder(const std::string& path, const std::wstring& shown) {
        if (path.size() <= url.base.size()) return;  // the base itself
        Request r = Make("MKCOL", path + "/", shown);
        long status = client.Send(r);
        if (status == 409) {
            MakeFolder(Parent(path), shown);
            status = client.Send(r);
        }
        if (status == 201) return;
        if (status == 405 || status == 400) {
            // Something is there already: fine when it is a folder.
            const auto entry = Stat(path, shown);
            if (entry && entry->folder) return;
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" exists and is not a folder"), shown.c_str()));
        }
        Fail(status, r);
    }

    void Delete(const std::string& path, const std::wstring& shown) {
        Request r = Make("DELETE", path, shown);
        const long status = client.Send(r);
        if (!Ok(status)) Fail(status, r);
    }

    // Best effort, for temporaries on the way out of a failure.
    void Discard(const std::string& path) noexcept {
        try {
            Request r = Make("DELETE", path, L"");
            r.idempotent = false;
            client.Send(r);
        } catch (...) {}
    }

    // COPY or MOVE; false when the target exists and `replace` is off.
    void Transfer(const char* method, const std::string& from, const std::string& to,
                  const std::wstring& shown, bool replace, bool tree) {
        Request r = Make(method, from, shown);
        r.headers = {Destination(to), replace ? "Overwrite: T" : "Overwrite: F"};
        // A MOVE always takes what is below (nginx refuses any other Depth).
        if (std::string(method) == "COPY")
            r.headers.push_back(tree ? "Depth: infinity" : "Depth: 0");
        // A MOVE that dropped may have happened: sending it again could fail
        // for that very reason.
        r.idempotent = std::string(method) == "COPY";
        const long status = client.Send(r);
        if (!Ok(status)) Fail(status, r);
    }

    // MOVEs a finished temporary file onto its name. Most targets are new,
    // so the first attempt never replaces anything and needs no look at the
    // target; one that exists is replaced only when it is a file.
    void Publish(const std::string& temp, const std::string& to, const std::wstring& shown,
                 bool likelyThere, const wchar_t* isFolderText) {
        if (!likelyThere) {
            try {
                Transfer("MOVE", temp, to, shown, false, false);
                return;
            } catch (const NfsError&) {
                // nginx answers 409 where a folder has the name; Apache 412.
                const auto there = Stat(to, shown);
                if (!there) throw;
                if (there->folder)
                    throw NfsError(NFS_E_WRONG_KIND, zub::Format(isFolderText, shown.c_str()));
                Transfer("MOVE", temp, to, shown, true, false);
                return;
            }
        }
        if (auto there = Stat(to, shown); there && there->folder)
            throw NfsError(NFS_E_WRONG_KIND, zub::Format(isFolderText, shown.c_str()));
        Transfer("MOVE", temp, to, shown, true, false);
    }

    void StoreSum(const std::string& path, const std::wstring& shown, const std::wstring& sum) {
        Request r = Make("PROPPATCH", path, shown);
        r.headers = {"Content-Type: application/xml; charset=utf-8"};
        r.body = DavSumPatchBody(zub::WideToUtf8(sum));
        r.sendBody = true;
        const long status = client.Send(r);
        // A server without dead properties (nginx) keeps no sums; copies then
        // read the files to sum them.
        if (status == 405 || status == 501) return;
        if (status != 207 && !Ok(status)) Fail(status, r);
    }

    // Reads a stored file through the hash only.
    std::uint64_t Sum(const std::string& path, const std::wstring& shown, std::wstring& sha256) {
        Sha256 hash;
        Request r = Make("GET", path, shown);
        r.discard = true;
        r.hash = &hash;
        const long status = client.Send(r);
        if (status != 200) Fail(status, r);
        sha256 = hash.HexFinal();
        return r.moved;
    }

    std::uint64_t Upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress, ContentSum* sum) {
        const std::string target = url.Path(remoteFile);
        const fs::path local = fsutil::ToPath(localFile);
        zub::UniqueFd in(::open(local.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (!in) {
            if (errno == ENOENT)
                throw NfsError(NFS_E_NOT_FOUND,
                               zub::Format(ZUB_N_(L"the local file \"%ls\" does not exist"),
                                           localFile.c_str()));
            fsutil::ThrowErrno(errno, "cannot open", local);
        }
        struct stat st {};
        if (::fstat(in.get(), &st) != 0) fsutil::ThrowErrno(errno, "cannot read", local);
        if (!S_ISREG(st.st_mode))
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the local path \"%ls\" is not a plain file"),
                                       localFile.c_str()));
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (sum != nullptr && sum->expectBytes >= 0 &&
            static_cast<std::uint64_t>(sum->expectBytes) != size)
            throw NfsError(
                NFS_E_CONTENT,
                zub::Format(ZUB_N_(L"the local file \"%ls\" does not have its recorded size"),
                            localFile.c_str()));

        const std::string temp =
            Parent(target) + "/" + PercentEncode(fsutil::TemporaryName(Name(DecodedName(target))));
        Sha256 hash;
        Request put = Make("PUT", temp, remoteFile);
        put.uploadFd = in.get();
        put.uploadSize = size;
        put.hash = &hash;
        put.progress = progress;
        put.headers = {"Content-Type: application/octet-stream"};
        struct Cleanup {
            Impl& impl;
            const std::string& temp;
            bool armed = true;
            ~Cleanup() {
                if (armed) impl.Discard(temp);
            }
        } cleanup{*this, temp};
        long status = client.Send(put);
        // A folder just made holds no file yet: the target is surely new.
        bool fresh = false;
        if (status == 409) {
            MakeFolder(Parent(target), remoteFile);
            status = client.Send(put);
            fresh = true;
        } else if (status == 500 && !Stat(Parent(target) + "/", remoteFile)) {
            // nginx's answer for a missing folder: its rename into it failed.
            // Should the folder not come either, the PUT's answer is the news.
            try {
                MakeFolder(Parent(target), remoteFile);
            } catch (const NfsError&) {
                Fail(status, put);
            }
            status = client.Send(put);
            fresh = true;
        }
        if (!Ok(status)) Fail(status, put);
        if (put.moved != size)
            throw NfsError(
                NFS_E_IO,
                zub::Format(ZUB_N_(L"PUT of \"%ls\": sent %ls of %ls bytes"), remoteFile.c_str(),
                            std::to_wstring(put.moved).c_str(), std::to_wstring(size).c_str()));
        const std::wstring sha = hash.HexFinal();
        CheckSum(sum, sha, size, true, localFile);
        StoreSum(temp, remoteFile, sha);
        // Replacing is what uploads mostly do: look at the target first
        // unless it is surely new.
        Publish(temp, target, remoteFile, !fresh,
                ZUB_N_(L"the target \"%ls\" is a folder, not a file"));
        cleanup.armed = false;
        if (sum != nullptr) {
            sum->sha256 = sha;
            sum->bytes = static_cast<std::int64_t>(size);
        }
        return size;
    }

    static std::string DecodedName(const std::string& path) {
        std::string out;
        PercentDecode(path, out);
        return out;
    }

    static void MakeLocalDir(const fs::path& dir) {
        for (fs::path part = dir; !part.empty(); part = part.parent_path()) {
            const fs::file_status st = fs::status(part);
            if (fs::is_directory(st)) break;
            if (fs::exists(st))
                throw NfsError(NFS_E_WRONG_KIND,
                               zub::Format(ZUB_N_(L"the local path \"%ls\" is not a folder"),
                                           fsutil::ToText(part).c_str()));
            if (part == part.parent_path()) break;
        }
        fs::create_directories(dir);
    }

    static fs::path LocalFolder(const std::wstring& localDir) {
        if (localDir.empty()) throw NfsError(NFS_E_INVALID, ZUB_N_(L"no local folder given"));
        const fs::path dir = fsutil::ToPath(localDir);
        MakeLocalDir(dir);
        return dir;
    }

    static fs::path LocalRelative(std::wstring relative) {
        std::replace(relative.begin(), relative.end(), L'\\', L'/');
        return fsutil::ToPath(relative);
    }

    // GETs one file into `target` through a temporary name. A local file that
    // cannot be made or written fails as the backend's error, naming it.
    std::uint64_t Fetch(const std::string& path, const std::wstring& shown, const fs::path& target,
                        const DavClient::Progress& progress, ContentSum* sum) {
        try {
            return FetchInto(path, shown, target, progress, sum);
        } catch (const std::system_error& e) {
            throw NfsError(fsutil::NumberFor(e.code()),
                           zub::Format(ZUB_N_(L"\"%ls\": %ls"), fsutil::ToText(target).c_str(),
                                       zub::Utf8ToWide(e.what()).c_str()));
        }
    }

    std::uint64_t FetchInto(const std::string& path, const std::wstring& shown,
                            const fs::path& target, const DavClient::Progress& progress,
                            ContentSum* sum) {
        if (fs::is_directory(target))
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the local target \"%ls\" is a folder"),
                                       fsutil::ToText(target).c_str()));
        AtomicFile out(target, false);
        Sha256 hash;
        Request get = Make("GET", path, shown);
        get.downloadFd = out.fd();
        get.hash = &hash;
        get.progress = progress;
        const long status = client.Send(get);
        if (status != 200) {
            // nginx redirects a GET of a folder to its name with a slash.
            if (status == 404 || status == 403 || status == 405 || status == 301) {
                const auto entry = Stat(path, shown);
                if (!entry)
                    throw NfsError(
                        NFS_E_NOT_FOUND,
                        zub::Format(ZUB_N_(L"the file \"%ls\" does not exist"), shown.c_str()));
                if (entry->folder)
                    throw NfsError(NFS_E_WRONG_KIND,
                                   zub::Format(ZUB_N_(L"the path \"%ls\" is a folder, not a file"),
                                               shown.c_str()));
            }
            Fail(status, get);
        }
        if (get.length >= 0 && static_cast<std::uint64_t>(get.length) != get.moved)
            throw NfsError(
                NFS_E_IO,
                zub::Format(ZUB_N_(L"GET of \"%ls\": the answer was cut short"), shown.c_str()));
        const std::wstring sha = hash.HexFinal();
        CheckSum(sum, sha, get.moved, false, shown);
        out.Commit();
        if (sum != nullptr) {
            sum->sha256 = sha;
            sum->bytes = static_cast<std::int64_t>(get.moved);
        }
        return get.moved;
    }

    std::uint64_t Download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress,
                           ContentSum* sum) {
        if (!PlainName(localName))
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the local name \"%ls\" is no plain file name"),
                                       localName.c_str()));
        const std::string path = url.Path(remoteFile);
        const fs::path dir = LocalFolder(localDir);
        return Fetch(path, remoteFile, dir / fsutil::ToPath(localName), progress, sum);
    }

    std::uint64_t DownLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress, const std::vector<NfsFileSum>* expect) {
        const std::string path = url.Path(remoteDir);
        Expect(path, remoteDir, true);
        std::vector<Item> items;
        Walk(path, remoteDir, L"", items);
        std::map<std::wstring, const NfsFileSum*> listed;
        if (expect != nullptr) {
            for (const NfsFileSum& file : *expect) listed.emplace(file.path, &file);
            std::size_t found = 0;
            for (const Item& item : items) {
                if (item.entry.folder) continue;
                if (!listed.count(item.relative))
                    throw NfsError(
                        NFS_E_CONTENT,
                        zub::Format(
                            ZUB_N_(L"the file \"%ls\" is not one of the folder's recorded files"),
                            (remoteDir + L"\\" + item.relative).c_str()));
                ++found;
            }
            if (found != listed.size()) {
                for (const auto& [rel, file] : listed)
                    if (std::none_of(items.begin(), items.end(),
                                     [&](const Item& item) { return item.relative == rel; }))
                        throw NfsError(
                            NFS_E_NOT_FOUND,
                            zub::Format(ZUB_N_(L"the file \"%ls\" is recorded but does not exist"),
                                        (remoteDir + L"\\" + rel).c_str()));
            }
        }
        std::uint64_t total = 0;
        for (const Item& item : items) total += item.entry.folder ? 0 : item.entry.bytes;
        const fs::path dir = LocalFolder(localDir);
        std::uint64_t done = 0;
        for (const Item& item : items) {
            const fs::path target = dir / LocalRelative(item.relative);
            if (item.entry.folder) {
                MakeLocalDir(target);
                continue;
            }
            std::optional<ContentSum> sum;
            if (expect != nullptr) {
                const NfsFileSum& file = *listed.at(item.relative);
                sum = ContentSum{file.sha256, L"", static_cast<std::int64_t>(file.bytes), -1};
            }
            done += Fetch(item.path, remoteDir + L"\\" + item.relative, target,
                          StepFor(progress, done, total), sum ? &*sum : nullptr);
        }
        return done;
    }

    void Copy(const std::wstring& source, const std::wstring& target, const Progress& progress,
              ContentSum* sum) {
        const std::string from = url.Path(source);
        const std::string to = url.Path(target);
        const DavEntry entry = Expect(from, source, false);
        if (sum != nullptr && sum->expectBytes >= 0 &&
            static_cast<std::uint64_t>(sum->expectBytes) != entry.bytes)
            throw NfsError(NFS_E_CONTENT,
                           zub::Format(ZUB_N_(L"the file \"%ls\" does not have its recorded size"),
                                       source.c_str()));
        const std::string temp =
            Parent(to) + "/" + PercentEncode(fsutil::TemporaryName(DecodedName(Name(to))));
        struct Cleanup {
            Impl& impl;
            const std::string& temp;
            bool armed = true;
            ~Cleanup() {
                if (armed) impl.Discard(temp);
            }
        } cleanup{*this, temp};
        try {
            Transfer("COPY", from, temp, source, true, false);
        } catch (const NfsError& e) {
            // A missing folder: 409, or from nginx 500.
            if (e.number() != NFS_E_NOT_FOUND &&
                (e.number() != NFS_E_HTTP || Stat(Parent(to) + "/", target)))
                throw;
            MakeFolder(Parent(to), target);
            Transfer("COPY", from, temp, source, true, false);
        }
        std::wstring sha = zub::Utf8ToWide(entry.sha256);
        std::uint64_t bytes = entry.bytes;
        if (sum != nullptr && sha.empty()) bytes = Sum(temp, target, sha);
        CheckSum(sum, sha, bytes, false, source);
        // Copies mostly make new files (saved versions).
        Publish(temp, to, target, false, ZUB_N_(L"the target \"%ls\" is a folder"));
        cleanup.armed = false;
        if (progress) progress(bytes, bytes);
        if (sum != nullptr) {
            sum->sha256 = sha;
            sum->bytes = static_cast<std::int64_t>(bytes);
        }
    }

    void CopyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress, std::vector<NfsFileSum>* sums) {
        const std::string from = url.Path(source);
        Expect(from, source, true);
        std::string to = url.Path(target);
        std::wstring toShown = target;
        if (auto there = Stat(to, target)) {
            if (!there->folder)
                throw NfsError(NFS_E_WRONG_KIND,
                               zub::Format(ZUB_N_(L"the target \"%ls\" exists and is not a folder"),
                                           target.c_str()));
            to += "/" + Name(from);
            toShown += L"\\" + zub::Utf8ToWide(DecodedName(Name(from)));
            if (Stat(to, toShown))
                throw NfsError(
                    NFS_E_EXISTS,
                    zub::Format(ZUB_N_(L"the folder \"%ls\" already exists"), toShown.c_str()));
        }
        if ((to + "/").compare(0, from.size() + 1, from + "/") == 0)
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" cannot be copied into itself"),
                                       source.c_str()));
        MakeFolder(Parent(to), toShown);
        const std::string temp =
            Parent(to) + "/" + PercentEncode(fsutil::TemporaryName(DecodedName(Name(to))));
        struct Cleanup {
            Impl& impl;
            const std::string& temp;
            bool armed = true;
            ~Cleanup() {
                if (armed) impl.Discard(temp + "/");
            }
        } cleanup{*this, temp};
        Transfer("COPY", from + "/", temp + "/", source, false, true);
        if (sums != nullptr || progress) {
            std::vector<Item> items;
            Walk(temp, toShown, L"", items);
            std::uint64_t total = 0;
            for (Item& item : items) {
                if (item.entry.folder) continue;
                total += item.entry.bytes;
                if (sums == nullptr) continue;
                NfsFileSum file{item.relative, zub::Utf8ToWide(item.entry.sha256),
                                item.entry.bytes};
                if (file.sha256.empty())
                    file.bytes = Sum(item.path, toShown + L"\\" + item.relative, file.sha256);
                sums->push_back(std::move(file));
            }
            if (progress) progress(total, total);
        }
        Transfer("MOVE", temp + "/", to + "/", toShown, false, true);
        cleanup.armed = false;
    }

    void Rename(const std::wstring& oldPath, const std::wstring& newPath, bool folder) {
        const std::string from = url.Path(oldPath);
        const std::string to = url.Path(newPath);
        Expect(from, oldPath, folder);
        // Onto itself: the entry is its own target, which the server would
        // refuse to replace; asked to learn whether the entry is there.
        if (from == to)
            throw NfsError(NFS_E_EXISTS, zub::Format(ZUB_N_(L"the target \"%ls\" already exists"),
                                                     newPath.c_str()));
        if (Parent(to).size() > url.base.size()) {
            const auto parent = Stat(Parent(to), newPath);
            if (!parent || !parent->folder)
                throw NfsError(
                    NFS_E_NOT_FOUND,
                    zub::Format(ZUB_N_(L"the folder that would hold \"%ls\" does not exist"),
                                newPath.c_str()));
        }
        if (folder && (to + "/").compare(0, from.size() + 1, from + "/") == 0)
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" cannot be moved into itself"),
                                       oldPath.c_str()));
        const std::string slash = folder ? "/" : "";
        try {
            Transfer("MOVE", from + slash, to + slash, oldPath, false, folder);
        } catch (const NfsError& e) {
            // nginx answers 409 for a file onto a folder.
            if (e.number() != NFS_E_EXISTS && (e.number() != NFS_E_NOT_FOUND || !Stat(to, newPath)))
                throw;
            throw NfsError(NFS_E_EXISTS, zub::Format(ZUB_N_(L"the target \"%ls\" already exists"),
                                                     newPath.c_str()));
        }
    }
};

WebDavBackend::WebDavBackend(const std::wstring& server, unsigned short port)
    : WebDavBackend(server, port, Options{}) {}

WebDavBackend::WebDavBackend(const std::wstring& server, unsigned short port, Options options)
    : impl_(std::make_shared<Impl>(server, port, options)) {}

WebDavBackend::~WebDavBackend() = default;

std::uint64_t WebDavBackend::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->client.requests();
}

std::map<std::string, std::uint64_t> WebDavBackend::requestsByMethod() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->client.requestsByMethod();
}

std::uint64_t WebDavBackend::sentBytes() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->client.sent();
}

void WebDavBackend::logIn(const std::wstring& user, const std::wstring& password) {
    std::lock_guard lock(impl_->mutex);
    impl_->client.Login(zub::WideToUtf8(user), zub::WideToUtf8(password));
}

void WebDavBackend::mk(const std::wstring& dir) {
    std::lock_guard lock(impl_->mutex);
    impl_->MakeFolder(impl_->url.Path(dir), dir);
}

void WebDavBackend::rm(const std::wstring& dir) {
    std::lock_guard lock(impl_->mutex);
    const std::string path = impl_->url.Path(dir);
    impl_->Expect(path, dir, true);
    impl_->Delete(path + "/", dir);
}

void WebDavBackend::delFile(const std::wstring& file) {
    std::lock_guard lock(impl_->mutex);
    const std::string path = impl_->url.Path(file);
    impl_->Expect(path, file, false);
    impl_->Delete(path, file);
}

std::uint64_t WebDavBackend::upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                    const Progress& progress) {
    std::lock_guard lock(impl_->mutex);
    return impl_->Upload(localFile, remoteFile, progress, nullptr);
}

std::uint64_t WebDavBackend::upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                    const Progress& progress, ContentSum& sum) {
    std::lock_guard lock(impl_->mutex);
    return impl_->Upload(localFile, remoteFile, progress, &sum);
}

std::uint64_t WebDavBackend::download(const std::wstring& remoteFile, const std::wstring& localDir,
                                      const std::wstring& localName, const Progress& progress) {
    std::lock_guard lock(impl_->mutex);
    return impl_->Download(remoteFile, localDir, localName, progress, nullptr);
}

std::uint64_t WebDavBackend::download(const std::wstring& remoteFile, const std::wstring& localDir,
                                      const std::wstring& localName, const Progress& progress,
                                      ContentSum& sum) {
    std::lock_guard lock(impl_->mutex);
    return impl_->Download(remoteFile, localDir, localName, progress, &sum);
}

std::uint64_t WebDavBackend::downLoadFolder(const std::wstring& remoteDir,
                                            const std::wstring& localDir,
                                            const Progress& progress) {
    std::lock_guard lock(impl_->mutex);
    return impl_->DownLoadFolder(remoteDir, localDir, progress, nullptr);
}

std::uint64_t WebDavBackend::downLoadFolder(const std::wstring& remoteDir,
                                            const std::wstring& localDir, const Progress& progress,
                                            const std::vector<NfsFileSum>& expect) {
    std::lock_guard lock(impl_->mutex);
    return impl_->DownLoadFolder(remoteDir, localDir, progress, &expect);
}

void WebDavBackend::copy(const std::wstring& source, const std::wstring& target) {
    copy(source, target, Progress{});
}

void WebDavBackend::copy(const std::wstring& source, const std::wstring& target,
                         const Progress& progress) {
    std::lock_guard lock(impl_->mutex);
    impl_->Copy(source, target, progress, nullptr);
}

void WebDavBackend::copy(const std::wstring& source, const std::wstring& target,
                         const Progress& progress, ContentSum& sum) {
    std::lock_guard lock(impl_->mutex);
    impl_->Copy(source, target, progress, &sum);
}

void WebDavBackend::copyFolder(const std::wstring& source, const std::wstring& target) {
    copyFolder(source, target, Progress{});
}

void WebDavBackend::copyFolder(const std::wstring& source, const std::wstring& target,
                               const Progress& progress) {
    std::lock_guard lock(impl_->mutex);
    impl_->CopyFolder(source, target, progress, nullptr);
}

void WebDavBackend::copyFolder(const std::wstring& source, const std::wstring& target,
                               const Progress& progress, std::vector<NfsFileSum>& sums) {
    std::lock_guard lock(impl_->mutex);
    sums.clear();
    impl_->CopyFolder(source, target, progress, &sums);
}

std::uint64_t WebDavBackend::checksum(const std::wstring& file, std::wstring& sha256) {
    std::lock_guard lock(impl_->mutex);
    const std::string path = impl_->url.Path(file);
    impl_->Expect(path, file, false);
    return impl_->Sum(path, file, sha256);
}

void WebDavBackend::renameFile(const std::wstring& oldPath, const std::wstring& newPath) {
    std::lock_guard lock(impl_->mutex);
    impl_->Rename(oldPath, newPath, false);
}

void WebDavBackend::renameFolder(const std::wstring& oldPath, const std::wstring& newPath) {
    std::lock_guard lock(impl_->mutex);
    impl_->Rename(oldPath, newPath, true);
}

std::vector<NfsEntry> WebDavBackend::listFolder(const std::wstring& dir) {
    std::lock_guard lock(impl_->mutex);
    const std::string path = impl_->url.Path(dir);
    impl_->Expect(path, dir, true);
    std::vector<Impl::Item> items;
    impl_->Walk(path, dir, L"", items);
    std::vector<NfsEntry> entries;
    for (const Impl::Item& item : items) {
        NfsEntry entry;
        entry.path = item.relative;
        entry.bytes = item.entry.folder ? 0 : item.entry.bytes;
        entry.folder = item.entry.folder;
        entry.modified = item.entry.modified;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::wstring WebDavBackend::where(const std::wstring& path) {
    const std::string encoded = path.empty() ? impl_->url.base : impl_->url.Path(path);
    std::string decoded;
    PercentDecode(encoded, decoded);
    return zub::Utf8ToWide(impl_->url.origin + decoded);
}

}  // namespace NFS

namespace NFS {

std::wstring WebDavBackend::owner() {
    std::lock_guard lock(impl_->mutex);
    Request get = impl_->Make("GET", impl_->url.base + "/" + RootOwner::kFileName, L"");
    const long status = impl_->client.Send(get);
    if (status == 404) return {};
    if (status != 200) Fail(status, get);
    std::string text = get.answer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const auto parsed = RootOwner::Parse(zub::Utf8ToWide(text));
    return parsed ? parsed->Text() : std::wstring();
}

void WebDavBackend::setOwner(const std::wstring& owner) {
    const auto parsed = RootOwner::Parse(owner);
    if (!parsed) throw NfsError(NFS_E_INVALID, ZUB_N_(L"no owner given for the root"));
    std::lock_guard lock(impl_->mutex);
    const std::string target = impl_->url.base + "/" + RootOwner::kFileName;
    const std::string temp =
        impl_->url.base + "/" + PercentEncode(fsutil::TemporaryName(RootOwner::kFileName));
    Request put = impl_->Make("PUT", temp, L"");
    put.body = zub::WideToUtf8(parsed->Text()) + "\n";
    put.sendBody = true;
    const long status = impl_->client.Send(put);
    if (!Ok(status)) Fail(status, put);
    try {
        impl_->Transfer("MOVE", temp, target, L"", true, false);
    } catch (...) {
        impl_->Discard(temp);
        throw;
    }
}

}  // namespace NFS

namespace NFS {

namespace {

constexpr const char* kHolds = ".vaultfs-holds";

}  // namespace

class WebDavBackend::Hold : public NfsHold {
public:
    Hold(std::shared_ptr<Impl> impl, std::string marker, std::string token)
        : impl_(std::move(impl)), marker_(std::move(marker)), token_(std::move(token)) {}
    ~Hold() override {
        std::lock_guard lock(impl_->mutex);
        // Should this fail, the lock lapses.
        try {
            Request r = impl_->Make("UNLOCK", marker_, L"");
            r.headers = {"Lock-Token: <" + token_ + ">"};
            impl_->client.Send(r);
        } catch (...) {}
    }

private:
    std::shared_ptr<Impl> impl_;
    std::string marker_;
    std::string token_;
};

std::unique_ptr<NfsHold> WebDavBackend::hold(const std::wstring& path) {
    std::lock_guard lock(impl_->mutex);
    const std::string entry = impl_->url.Path(path);
    if (!impl_->Stat(entry, path))
        throw NfsError(NFS_E_NOT_FOUND,
                       zub::Format(ZUB_N_(L"the path \"%ls\" does not exist"), path.c_str()));
    std::string decoded;
    PercentDecode(entry, decoded);
    Sha256 name;
    name.Update(decoded.data(), decoded.size());
    const std::string folder = impl_->url.base + "/" + kHolds;
    const std::string marker = folder + "/" + zub::WideToUtf8(name.HexFinal());
    // A LOCK that failed for want of the folder leaves nginx's lock behind,
    // so the folder is made before the first one.
    if (!impl_->holdsFolderMade) {
        Request mk = impl_->Make("MKCOL", folder + "/", path);
        const long made = impl_->client.Send(mk);
        if (made != 201 && made != 405) Fail(made, mk);
        impl_->holdsFolderMade = true;
    }
    Request r = impl_->Make("LOCK", marker, path);
    r.headers = {"Timeout: Second-86400", "Content-Type: application/xml; charset=utf-8"};
    r.body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:lockinfo xmlns:D=\"DAV:\">"
        "<D:lockscope><D:exclusive/></D:lockscope><D:locktype><D:write/></D:locktype>"
        "<D:owner>vaultfs</D:owner></D:lockinfo>";
    r.sendBody = true;
    r.idempotent = false;
    long status = impl_->client.Send(r);
    if (status == 409) {
        Request mk = impl_->Make("MKCOL", folder + "/", path);
        const long made = impl_->client.Send(mk);
        if (made != 201 && made != 405) Fail(made, mk);
        status = impl_->client.Send(r);
    }
    if (status == 423) return nullptr;
    if (!Ok(status)) Fail(status, r);
    // The token's form is the server's: "opaquelocktoken:..." (Apache),
    // "urn:..." (nginx).
    const std::size_t tag = r.answer.find("locktoken>");
    const std::size_t href = tag == std::string::npos ? tag : r.answer.find("href>", tag);
    const std::size_t start = href == std::string::npos ? href : href + 5;
    if (start == std::string::npos || r.answer.find('<', start) == std::string::npos ||
        r.answer.find('<', start) == start)
        throw NfsError(
            NFS_E_HTTP,
            zub::Format(ZUB_N_(L"LOCK of \"%ls\": the answer holds no lock token"), path.c_str()));
    std::string token = r.answer.substr(start, r.answer.find('<', start) - start);
    token.erase(0, token.find_first_not_of(" \t\r\n"));
    token.erase(token.find_last_not_of(" \t\r\n") + 1);
    return std::make_unique<Hold>(impl_, marker, token);
}

}  // namespace NFS
