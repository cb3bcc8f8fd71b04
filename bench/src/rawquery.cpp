#include "rawquery.h"

namespace zub::bench {

std::vector<RawDocRow> RawQuery::Documents(int repoId) {
    ZUBDB::SqliteStatement q(
        db_,
        "SELECT DocId,DocRepoId,Name,ext,CurrentVersion,CurrentState,CurrentOperatorId,"
        "CurrentOperatorName,CreatorId,CreatorName,DocCreateTime,LastOperatorId,"
        "LastOperatorName,LastOperateTime,phyUrl FROM QV_DMDoc WHERE DocRepoId = ?1 "
        "ORDER BY phyurl asc");
    q.bind(1, static_cast<long long>(repoId));
    std::vector<RawDocRow> rows;
    while (q.step()) {
        RawDocRow r;
        r.id = q.columnInt64(0);
        r.repoId = q.columnInt64(1);
        r.name = q.columnText(2);
        r.ext = q.columnText(3);
        r.version = q.columnText(4);
        r.state = q.columnInt64(5);
        r.holderId = q.columnInt64(6);
        r.holderName = q.columnText(7);
        r.creatorId = q.columnInt64(8);
        r.creatorName = q.columnText(9);
        r.created = q.columnDouble(10);
        r.lastId = q.columnInt64(11);
        r.lastName = q.columnText(12);
        r.lastTime = q.columnDouble(13);
        r.phyUrl = q.columnText(14);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<RawHistoryRow> RawQuery::History(int docId) {
    ZUBDB::SqliteStatement q(
        db_,
        "SELECT DocVersionId,DocId,BaseLineId,DocName,OperatorId,OperatorName,OperatorTime,"
        "OperateInfo,Action,PhyUrl,Version_Main,Version_Sub,Revision FROM QV_DMDocVer "
        "WHERE DocId = ?1 ORDER BY Revision desc");
    q.bind(1, static_cast<long long>(docId));
    std::vector<RawHistoryRow> rows;
    while (q.step()) {
        RawHistoryRow r;
        r.id = q.columnInt64(0);
        r.docId = q.columnInt64(1);
        r.baseLineId = q.columnInt64(2);
        r.docName = q.columnText(3);
        r.operatorId = q.columnInt64(4);
        r.operatorName = q.columnText(5);
        r.time = q.columnDouble(6);
        r.info = q.columnText(7);
        r.action = q.columnInt64(8);
        r.phyUrl = q.columnText(9);
        r.main = q.columnInt64(10);
        r.sub = q.columnInt64(11);
        r.revision = q.columnInt64(12);
        rows.push_back(std::move(r));
    }
    return rows;
}

}  // namespace zub::bench
