// The password an embedded file-server root keeps for its login.
//
// The root folder holds the file ".vaultfs-login", readable by its owner
// only: one line "USER<TAB>HASH", where HASH is a salted crypt(3) hash
// ("$6$..."), never the password itself. The file is no server path: no
// operation can read, replace or delete it. A root without the file (stores
// made before logins were checked) accepts every login.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace NFS {

class RootPassword {
public:
    static constexpr const char* kFileName = ".vaultfs-login";

    // Writes (or replaces) the root's login, atomically.
    static void Write(const std::filesystem::path& root, const std::wstring& user,
                      const std::wstring& password);
    // The root's login; nothing when the root has none. Throws when the file
    // is there but cannot be read or parsed, so a damaged file never opens
    // the root.
    static std::optional<RootPassword> Read(const std::filesystem::path& root);
    static bool Exists(const std::filesystem::path& root);

    bool Accepts(const std::wstring& user, const std::wstring& password) const;
    const std::wstring& user() const { return user_; }

private:
    RootPassword(std::wstring user, std::string hash)
        : user_(std::move(user)), hash_(std::move(hash)) {}
    std::wstring user_;
    std::string hash_;
};

}  // namespace NFS
