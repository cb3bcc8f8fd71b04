#include "rawquery.h"

std::vector<RawDocRow> RawQuery::Documents(int repoId) {
    SqliteStmt q = db_.Prepare(
        "SELECT DocId,DocRepoId,Name,ext,CurrentVersion,CurrentState,CurrentOperatorId,"
        "CurrentOperatorName,CreatorId,CreatorName,DocCreateTime,LastOperatorId,"
        "LastOperatorName,LastOperateTime,phyUrl FROM QV_DMDoc WHERE DocRepoId = ?1 "
        "ORDER BY phyurl asc");
    q.Bind(1, static_cast<long long>(repoId));
    std::vector<RawDocRow> rows;
    while (q.Step()) {
        RawDocRow r;
        r.id = q.Int(0);
        r.repoId = q.Int(1);
        r.name = q.Text(2);
        r.ext = q.Text(3);
        r.version = q.Text(4);
        r.state = q.Int(5);
        r.holderId = q.Int(6);
        r.holderName = q.Text(7);
        r.creatorId = q.Int(8);
        r.creatorName = q.Text(9);
        r.created = q.Double(10);
        r.lastId = q.Int(11);
        r.lastName = q.Text(12);
        r.lastTime = q.Double(13);
        r.phyUrl = q.Text(14);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<RawHistoryRow> RawQuery::History(int docId) {
    SqliteStmt q = db_.Prepare(
        "SELECT DocVersionId,DocId,BaseLineId,DocName,OperatorId,OperatorName,OperatorTime,"
        "OperateInfo,Action,PhyUrl,Version_Main,Version_Sub,Revision FROM QV_DMDocVer "
        "WHERE DocId = ?1 ORDER BY Revision desc");
    q.Bind(1, static_cast<long long>(docId));
    std::vector<RawHistoryRow> rows;
    while (q.Step()) {
        RawHistoryRow r;
        r.id = q.Int(0);
        r.docId = q.Int(1);
        r.baseLineId = q.Int(2);
        r.docName = q.Text(3);
        r.operatorId = q.Int(4);
        r.operatorName = q.Text(5);
        r.time = q.Double(6);
        r.info = q.Text(7);
        r.action = q.Int(8);
        r.phyUrl = q.Text(9);
        r.main = q.Int(10);
        r.sub = q.Int(11);
        r.revision = q.Int(12);
        rows.push_back(std::move(r));
    }
    return rows;
}
