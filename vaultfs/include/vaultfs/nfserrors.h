// Error numbers of the file-server client. They are stable: callers record
// them as they are, so never renumber one.
//
//  50001  the path would leave the server's root (a ".." component, or a
//         symbolic link inside the root that points outside it)
//  50002  not found (file, directory, local file, or the root itself)
//  50003  already exists (rename or folder copy onto an existing target)
//  50004  input/output failure (reading, writing, syncing, renaming)
//  50005  unknown server (no backend for the server text's scheme)
//  50006  invalid argument (empty path, the root itself, a local name that is
//         not a plain file name, a folder copied into itself, a link loop)
//  50007  wrong kind of entry (a directory where a file is expected, or the
//         other way round, or a special file such as a pipe)
//  50008  out of memory
//  50009  internal failure (any other exception inside a backend)
//  50010  login refused: wrong user or password, or no login on a server
//         that needs one
//  50011  content mismatch: the bytes read do not have the SHA-256 the
//         caller recorded for them (the stored file was changed or damaged)
//
// Network servers (WebDAV): the text names the HTTP method, the server path
// and, for an answer, its status.
//  50012  the server answered with a status the operation does not expect
//  50013  the server cannot be reached, or the connection dropped
//  50014  timed out: no connection in time, or a transfer that stalled
//  50015  the server's TLS certificate is not trusted or names another host
//  50016  the server redirected the request elsewhere (never followed)
//  50017  the server has no room left (HTTP 507)
//  50018  the entry is locked on the server (HTTP 423)
#pragma once

namespace NFS {

enum NfsErrorNumber : long {
    NFS_E_OUTSIDE_ROOT = 50001,
    NFS_E_NOT_FOUND = 50002,
    NFS_E_EXISTS = 50003,
    NFS_E_IO = 50004,
    NFS_E_UNKNOWN_SERVER = 50005,
    NFS_E_INVALID = 50006,
    NFS_E_WRONG_KIND = 50007,
    NFS_E_NO_MEMORY = 50008,
    NFS_E_INTERNAL = 50009,
    NFS_E_LOGIN = 50010,
    NFS_E_CONTENT = 50011,
    NFS_E_HTTP = 50012,
    NFS_E_UNREACHABLE = 50013,
    NFS_E_TIMEOUT = 50014,
    NFS_E_TLS = 50015,
    NFS_E_REDIRECT = 50016,
    NFS_E_NO_SPACE = 50017,
    NFS_E_LOCKED = 50018,
};

}  // namespace NFS
