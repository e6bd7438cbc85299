#pragma once
// SQLite opens, writes, truncates and deletes a database's side files ("-journal", "-wal")
// by name. Cookie databases are opened through a thin VFS that wraps the system's and checks
// every such file through the handle SQLite opened: a plain file (no link, no reparse point)
// with one link, in the database's own folder under the database's own name plus its suffix.
// Any other open or delete fails, so a side file that is a hard link or a link to a user's
// document is never written, truncated or deleted; a side file is deleted through the handle
// that was checked. A connection opened read-only never creates, writes or deletes a side
// file: its side files are opened for reading, and a WAL that does not exist reads as empty.
// The VFS offers no shared memory: a WAL database is opened in exclusive locking mode, so
// SQLite never opens a "-shm" file at all.

namespace qm {

// The name to open a cookie database with (sqlite3_open_v2); the VFS is registered on first use.
const char* CheckedVfsName();

// How many opens and deletes the VFS has refused in this process. A database operation that
// failed while this count grew met a side file that is not its own.
unsigned RefusedSideFiles();

}  // namespace qm
