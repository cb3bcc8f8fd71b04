// One permission row of QV_DMAuth: a user's or a role's read, write and
// manage rights on one repository.
#pragma once

#include <string>
#include <utility>

#include "docvault/bo.h"

namespace DRM {

class DocRepoAuth : public BO {
public:
    DocRepoAuth() = default;
    // Keyed by the repository id in decimal.
    DocRepoAuth(int id, int docRepoId, int userId, int roleId, int byRoleOrByUser, int read,
                int write, int manage, std::wstring roleOrUserName);
    DocRepoAuth(const DocRepoAuth& other) = default;
    DocRepoAuth& operator=(const DocRepoAuth& other) = default;
    ~DocRepoAuth() override = default;

    int id() const { return id_; }
    void set_id(int v) { id_ = v; }
    int docRepoId() const { return docRepoId_; }
    void set_docRepoId(int v) { docRepoId_ = v; }
    int userId() const { return userId_; }
    void set_userId(int v) { userId_ = v; }
    int roleId() const { return roleId_; }
    void set_roleId(int v) { roleId_ = v; }
    int byRoleOrByUser() const { return byRoleOrByUser_; }
    void set_byRoleOrByUser(int v) { byRoleOrByUser_ = v; }
    int read() const { return read_; }
    void set_read(int v) { read_ = v; }
    int write() const { return write_; }
    void set_write(int v) { write_ = v; }
    int manage() const { return manage_; }
    void set_manage(int v) { manage_ = v; }
    std::wstring roleOrUser_Name() const { return roleOrUserName_; }
    void set_roleOrUser_Name(std::wstring v) { roleOrUserName_ = std::move(v); }

    // Inserts this row and takes the id it got.
    int Save();
    // Rows are never changed or deleted one by one: a repository's set is
    // replaced through DocRepoAuths.
    int Update() { return 0; }
    int Delete() { return 0; }

private:
    int id_ = 0;
    int docRepoId_ = 0;
    int userId_ = 0;
    int roleId_ = 0;
    int byRoleOrByUser_ = 0;
    int read_ = 0;
    int write_ = 0;
    int manage_ = 0;
    std::wstring roleOrUserName_;
};

}  // namespace DRM
