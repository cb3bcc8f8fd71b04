#include "dbcore/qvsvrinfo.h"

namespace ZUBDB {

QVSvrInfo::QVSvrInfo(std::wstring server, long port, std::wstring database, std::wstring text)
    : server_(std::move(server)),
      port_(port),
      database_(std::move(database)),
      text_(std::move(text)) {}

}  // namespace ZUBDB
