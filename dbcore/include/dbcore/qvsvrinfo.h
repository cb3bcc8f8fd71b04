// Description of a database server: locator text, port, database name.
// "sqlite:DIR" selects the embedded store, database `db` being DIR/db.sqlite3.
#pragma once

#include <string>

namespace ZUBDB {

class QVSvrInfo {
public:
    QVSvrInfo() = default;
    QVSvrInfo(std::wstring server, long port, std::wstring database, std::wstring text);

    const std::wstring& server() const { return server_; }
    long port() const { return port_; }
    const std::wstring& database() const { return database_; }
    const std::wstring& text() const { return text_; }
    void set_server(std::wstring v) { server_ = std::move(v); }
    void set_port(long v) { port_ = v; }
    void set_database(std::wstring v) { database_ = std::move(v); }

private:
    std::wstring server_;
    long port_ = 0;
    std::wstring database_;
    std::wstring text_;
};

}  // namespace ZUBDB
