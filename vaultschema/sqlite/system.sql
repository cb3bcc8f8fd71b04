-- System database (QVSystem) of the embedded store.

-- sysPwd: the password with which clients log in to the file server as "system".
CREATE TABLE QV_SysInfo (
    SysInfoId INTEGER PRIMARY KEY AUTOINCREMENT,
    sysPwd    TEXT NOT NULL
);
