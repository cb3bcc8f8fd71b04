-- System database (QVSystem) of the embedded store.

-- sysPwd: the password with which clients log in to the file server as "system".
-- StoreId: the store's identity; a file-server root it claims names it, so a
-- copy of the store can tell the original's root from its own.
CREATE TABLE QV_SysInfo (
    SysInfoId INTEGER PRIMARY KEY AUTOINCREMENT,
    sysPwd    TEXT NOT NULL,
    StoreId   TEXT NOT NULL DEFAULT ''
);
