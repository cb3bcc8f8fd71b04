#include "dbcore/qvparams.h"

namespace ZUBDB {

void QVParams::AddParam(long position, const std::wstring& column, long long value, bool /*flag*/,
                        const std::wstring& op) {
    QVParam p;
    p.position = position;
    p.column = column;
    p.isText = false;
    p.intValue = value;
    p.op = op;
    items_.push_back(std::move(p));
}

void QVParams::AddParam(long position, const std::wstring& column, const std::wstring& value,
                        bool raw, bool /*flag*/, const std::wstring& op) {
    QVParam p;
    p.position = position;
    p.column = column;
    p.isText = true;
    p.textValue = value;
    p.raw = raw;
    p.op = op;
    items_.push_back(std::move(p));
}

}  // namespace ZUBDB
