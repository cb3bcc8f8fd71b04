-- Product database of the embedded store.
-- Column order is part of the contract: QV_DMDocVer is read by position and
-- "select *" results follow the order below. Keys are assigned by the
-- database. Dates are REAL OLE automation dates (days since 1899-12-30).

CREATE TABLE QV_User (
    UserId   INTEGER PRIMARY KEY AUTOINCREMENT,
    UserName TEXT NOT NULL DEFAULT ''
);
-- Names differing only in case name one user, as logins treat them.
CREATE UNIQUE INDEX QV_User_UserName ON QV_User (UserName COLLATE NOCASE);

CREATE TABLE QV_Role (
    RoleId   INTEGER PRIMARY KEY AUTOINCREMENT,
    RoleName TEXT NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX QV_Role_RoleName ON QV_Role (RoleName);

CREATE TABLE QV_UserRole (
    UserId INTEGER NOT NULL REFERENCES QV_User (UserId) ON DELETE CASCADE,
    RoleId INTEGER NOT NULL REFERENCES QV_Role (RoleId) ON DELETE CASCADE,
    PRIMARY KEY (UserId, RoleId)
);
CREATE INDEX QV_UserRole_RoleId ON QV_UserRole (RoleId);

CREATE TABLE QV_DMVerStrategy (
    VersionStraId  INTEGER PRIMARY KEY AUTOINCREMENT,
    SeriaNumStra   INTEGER NOT NULL DEFAULT 2,
    Begin_Main     INTEGER NOT NULL DEFAULT 1,
    Begin_Sub      INTEGER NOT NULL DEFAULT 0,
    NewDocBeginNum INTEGER NOT NULL DEFAULT 0,
    DocAdvScope    INTEGER NOT NULL DEFAULT 0,
    CreateBSLNAdv  INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE QV_DMRepo (
    DocRepoId     INTEGER PRIMARY KEY AUTOINCREMENT,
    Name          TEXT NOT NULL DEFAULT '',
    Server        TEXT NOT NULL DEFAULT '',
    Port          INTEGER NOT NULL DEFAULT 0,
    Directory     TEXT NOT NULL DEFAULT '',
    CreatorId     INTEGER NOT NULL DEFAULT 0,
    CreatorName   TEXT NOT NULL DEFAULT '',
    CreateTime    REAL,
    VersionStraId INTEGER NOT NULL DEFAULT 1
);
-- The overlap check reads every directory of one server.
CREATE INDEX QV_DMRepo_Server ON QV_DMRepo (Server);
CREATE UNIQUE INDEX QV_DMRepo_Name ON QV_DMRepo (Name);

-- A row names a user (UserId, RoleId 0) or a role (RoleId, UserId 0).
CREATE TABLE QV_DMAuth (
    authId     INTEGER PRIMARY KEY AUTOINCREMENT,
    DocRepoId  INTEGER NOT NULL REFERENCES QV_DMRepo (DocRepoId),
    UserId     INTEGER NOT NULL DEFAULT 0,
    RoleId     INTEGER NOT NULL DEFAULT 0,
    UserOrRole INTEGER NOT NULL DEFAULT 0,
    [Read]     INTEGER NOT NULL DEFAULT 0,
    Write      INTEGER NOT NULL DEFAULT 0,
    Manage     INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX QV_DMAuth_DocRepoId ON QV_DMAuth (DocRepoId);
CREATE INDEX QV_DMAuth_UserId ON QV_DMAuth (UserId);
CREATE INDEX QV_DMAuth_RoleId ON QV_DMAuth (RoleId);

-- CurrentVersion is text ("1.10" must not become 1.1); queries cast it.
-- PendingFile: an add, check-in, rename or delete that committed its rows but
-- may not have moved its files yet; empty when none.
-- ChangeStamp: drawn afresh by every change of the row; a change is made on
-- condition that the row still carries the stamp its operation read.
-- ContentSha256: SHA-256 of the current file (64 hex digits), of the history
-- row's saved file on QV_DMDocVer; empty where a store made before has not
-- had its sums filled in yet. ContentBytes: that file's size, -1 where none
-- is recorded yet; a plain verify compares it without reading the file.
CREATE TABLE QV_DMDoc (
    DocId               INTEGER PRIMARY KEY AUTOINCREMENT,
    DocRepoId           INTEGER NOT NULL REFERENCES QV_DMRepo (DocRepoId),
    Name                TEXT NOT NULL DEFAULT '',
    Ext                 TEXT NOT NULL DEFAULT '',
    CurrentVersion      TEXT NOT NULL DEFAULT '',
    CurrentState        INTEGER NOT NULL DEFAULT 0,
    CurrentOperatorId   INTEGER NOT NULL DEFAULT 0,
    CurrentOperatorName TEXT NOT NULL DEFAULT '',
    CreatorId           INTEGER NOT NULL DEFAULT 0,
    CreatorName         TEXT NOT NULL DEFAULT '',
    DocCreateTime       REAL,
    LastOperatorId      INTEGER NOT NULL DEFAULT 0,
    LastOperatorName    TEXT NOT NULL DEFAULT '',
    LastOperateTime     REAL,
    LastOperatorTime    REAL,
    phyUrl              TEXT NOT NULL DEFAULT '',
    CaxDocType          INTEGER NOT NULL DEFAULT 0,
    PendingFile         TEXT NOT NULL DEFAULT '',
    ChangeStamp         INTEGER NOT NULL DEFAULT 0,
    ContentSha256       TEXT NOT NULL DEFAULT '',
    ContentBytes        INTEGER NOT NULL DEFAULT -1
);
-- Listing a repository filters by DocRepoId and sorts by phyUrl.
CREATE INDEX QV_DMDoc_DocRepoId_phyUrl ON QV_DMDoc (DocRepoId, phyUrl);
CREATE INDEX QV_DMDoc_phyUrl ON QV_DMDoc (phyUrl);
-- One row per server file: "a.b" + "c" and "a" + "b.c" are both a.b.c.
CREATE UNIQUE INDEX QV_DMDoc_File ON QV_DMDoc (DocRepoId, phyUrl, (Name || '.' || Ext));

-- History rows outlive their document, so DocId has no foreign key.
CREATE TABLE QV_DMDocVer (
    DocVersionId INTEGER PRIMARY KEY AUTOINCREMENT,
    DocId        INTEGER NOT NULL,
    BaseLineId   INTEGER NOT NULL DEFAULT 0,
    DocName      TEXT NOT NULL DEFAULT '',
    OperatorId   INTEGER NOT NULL DEFAULT 0,
    OperatorName TEXT NOT NULL DEFAULT '',
    OperatorTime REAL,
    OperateInfo  TEXT NOT NULL DEFAULT '',
    Action       INTEGER NOT NULL DEFAULT 0,
    PhyUrl       TEXT NOT NULL DEFAULT '',
    Version_Main INTEGER NOT NULL DEFAULT 0,
    Version_Sub  INTEGER NOT NULL DEFAULT 0,
    Revision     INTEGER NOT NULL DEFAULT 0,
    ContentSha256 TEXT NOT NULL DEFAULT '',
    ContentBytes  INTEGER NOT NULL DEFAULT -1
);
-- Serves count(*), max(Revision) and the newest-first listing of a document.
CREATE INDEX QV_DMDocVer_DocId_Revision ON QV_DMDocVer (DocId, Revision);

CREATE TABLE QV_CaxForm (
    rcId       TEXT NOT NULL DEFAULT '',
    revision   INTEGER NOT NULL DEFAULT 0,
    DocId      INTEGER NOT NULL DEFAULT 0,
    CaxDocType INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX QV_CaxForm_DocId ON QV_CaxForm (DocId);

CREATE TABLE QV_DMBaseline (
    BaseLineId         INTEGER PRIMARY KEY AUTOINCREMENT,
    DocRepoId          INTEGER NOT NULL REFERENCES QV_DMRepo (DocRepoId),
    name               TEXT NOT NULL DEFAULT '',
    BaseLineInfo       TEXT NOT NULL DEFAULT '',
    BaseLineCreateTime REAL
);
CREATE UNIQUE INDEX QV_DMBaseline_Name ON QV_DMBaseline (DocRepoId, name);

-- The files a baseline froze, with the sum and size streamed while they were
-- copied. Path is below the baseline's folder, parts joined by '\'. Written
-- in the transaction of the baseline's row; a baseline of a store made before
-- has none until verify --repair records what its folder holds.
CREATE TABLE ZUB_DMBaselineFile (
    BaseLineId    INTEGER NOT NULL REFERENCES QV_DMBaseline (BaseLineId) ON DELETE CASCADE,
    Path          TEXT NOT NULL,
    ContentSha256 TEXT NOT NULL DEFAULT '',
    ContentBytes  INTEGER NOT NULL DEFAULT -1,
    PRIMARY KEY (BaseLineId, Path)
);

-- The audit trail: renames, deletes and unlocks, each written in the
-- transaction of the change it records. A delete's entry keeps the
-- document's last folder, name, extension and version; at most one per
-- document, so two finishers of one delete leave one entry.
CREATE TABLE ZUB_AuditTrail (
    AuditId   INTEGER PRIMARY KEY AUTOINCREMENT,
    EventTime REAL,
    UserId    INTEGER NOT NULL DEFAULT 0,
    UserName  TEXT NOT NULL DEFAULT '',
    Action    TEXT NOT NULL DEFAULT '',
    DocRepoId INTEGER NOT NULL DEFAULT 0,
    DocId     INTEGER NOT NULL DEFAULT 0,
    phyUrl    TEXT NOT NULL DEFAULT '',
    Name      TEXT NOT NULL DEFAULT '',
    Ext       TEXT NOT NULL DEFAULT '',
    Version   TEXT NOT NULL DEFAULT '',
    Detail    TEXT NOT NULL DEFAULT ''
);
CREATE INDEX ZUB_AuditTrail_DocRepoId ON ZUB_AuditTrail (DocRepoId);
CREATE INDEX ZUB_AuditTrail_DocId ON ZUB_AuditTrail (DocId);
CREATE UNIQUE INDEX ZUB_AuditTrail_Deleted ON ZUB_AuditTrail (DocId) WHERE Action = 'delete';

-- Users removed while documents still name them: kept, but they may not act.
CREATE TABLE ZUB_InactiveUser (
    UserId INTEGER PRIMARY KEY,
    Since  REAL
);

-- Counters behind the procedure GetNewId: one row per id name.
CREATE TABLE QV_IdCounter (
    IdName INTEGER PRIMARY KEY,
    LastId INTEGER NOT NULL DEFAULT 0
);

-- Rights rows with the name of the user or role they name. Which of the two
-- a row names is told by its ids, not by UserOrRole, whose values callers
-- use inconsistently.
CREATE VIEW QV_v_DMAuthSet AS
SELECT a.authId     AS authId,
       a.DocRepoId  AS DocRepoId,
       a.UserId     AS UserId,
       a.RoleId     AS RoleId,
       a.UserOrRole AS UserOrRole,
       a.[Read]     AS [Read],
       a.Write      AS Write,
       a.Manage     AS Manage,
       CASE WHEN a.UserId <> 0 THEN u.UserName ELSE r.RoleName END AS UserName
FROM QV_DMAuth a
LEFT JOIN QV_User u ON u.UserId = a.UserId
LEFT JOIN QV_Role r ON r.RoleId = a.RoleId;
