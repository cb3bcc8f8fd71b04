// Base of every business object: its own database connection and its error
// state. Operations return 0 or the error number they recorded; the last
// error stays readable (ErrNumber/ErrDesc) through later successes.
#pragma once

#include <memory>
#include <string>
#include <vector>

// The database component stays behind the library: its classes are named
// here, never defined.
namespace ZUBDB {
class CDBAccessor;
class CDBConnState;
}  // namespace ZUBDB

namespace DRM {
class BOAccess;
}

struct BOErrorEntry {
    long number = 0;
    std::wstring description;
    // For an exception an operation caught (number -1): the catch file
    // ("src/docrepo"), the qualified operation ("DRM::DocRepo::Save") and the
    // line. Empty and 0 for every other error.
    std::wstring text2;
    std::wstring text3;
    unsigned long n = 0;
};

class BO {
public:
    BO();
    // A copy of a connected object gets a connection of its own, made from the
    // same connection state; the error log is copied. Nothing is owned twice.
    BO(const BO& other);
    BO& operator=(const BO& other);
    virtual ~BO();

    int Connect(const std::wstring& server, long port, std::wstring db, std::wstring token);
    int Connect(const ZUBDB::CDBConnState& state, const std::wstring& db);
    int ConnectLocal(const std::wstring& a, const std::wstring& b);

    long ErrNumber() const { return errNumber_; }
    long errNumber() const { return errNumber_; }
    std::wstring ErrDesc() const;
    std::wstring errDescription() const { return ErrDesc(); }
    // Every error recorded on this object, oldest first.
    const std::vector<BOErrorEntry>& ErrorLog() const;

    const std::wstring& GetKey() const { return key_; }
    bool IsConnected() const { return accessor_ != nullptr; }

protected:
    void Init();
    void SetErr(long number, const std::wstring& desc, const std::wstring& s2,
                const std::wstring& s3, unsigned long n);
    void RaiseUnknownError(int number, const std::wstring& desc);
    // The id, or -1 with the reason recorded (49600 when not connected).
    int GetSysId(int idName, int n);

    void SetKey(std::wstring key) { key_ = std::move(key); }
    ZUBDB::CDBAccessor* Accessor() const { return accessor_.get(); }
    const std::wstring& Server() const;
    long Port() const;
    const std::wstring& Token() const;
    const ZUBDB::CDBConnState& ConnState() const { return *connState_; }

    // Records the accessor's last failure and returns its number (never 0:
    // a failure the accessor left unnumbered is recorded as -1).
    int RecordDbError();
    // Records the file server's last failure and returns its number (never 0,
    // as above).
    int RecordNfsError();
    // Rolls back the open unit of work and records the accessor's failure that
    // made it necessary (read first: the rollback may overwrite it). Returns
    // its number, never 0.
    int RollBackAndRecord();
    // The key of the row this connection inserted last when the accessor
    // knows it, else `selectedMax` (a max(id) read-back, which another
    // client's concurrent insert can disturb).
    long InsertedId(long selectedMax) const;

    // The library's internal helpers (not installed) work through it.
    friend class DRM::BOAccess;

private:
    std::unique_ptr<ZUBDB::CDBAccessor> MakeAccessorLikeThis() const;

    std::wstring key_;
    // Where the object connects, shared by its copies; none until it
    // connects, so an object read into a collection carries none of it.
    struct Link;
    std::shared_ptr<const Link> link_;
    std::unique_ptr<std::vector<BOErrorEntry>> errLog_;
    // Never null; never changed in place, so copies share it (an object made
    // by a collection's fill shares the one empty state).
    std::shared_ptr<const ZUBDB::CDBConnState> connState_;
    std::unique_ptr<ZUBDB::CDBAccessor> accessor_;
    long errNumber_ = 0;
};
