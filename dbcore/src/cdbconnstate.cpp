#include "dbcore/cdbconnstate.h"

namespace ZUBDB {

CDBConnState::CDBConnState(std::wstring server, long port, std::wstring database,
                           std::wstring text1, int n1, std::wstring text2, bool flag1,
                           ZUBEnum_APPNO appNo, std::wstring text3, bool flag2, int n2,
                           std::wstring text4)
    : QVSvrInfo(std::move(server), port, std::move(database), std::wstring()),
      text1_(std::move(text1)),
      n1_(n1),
      text2_(std::move(text2)),
      flag1_(flag1),
      appNo_(appNo),
      text3_(std::move(text3)),
      flag2_(flag2),
      n2_(n2),
      text4_(std::move(text4)) {}

}  // namespace ZUBDB
