// Between opening a SQLite database (sqlite_open.cpp) and the session that
// works on it (sqlite_session.cpp).
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "platform/db/provider.h"

namespace veldrane::ado {

// The session on an opened handle, which it then owns.
std::unique_ptr<ProviderSession> MakeSqliteSession(sqlite3* db, std::string path, bool read_only);

// The database file's canonical path, which other connections to it share;
// empty for a private database.
std::string CanonicalFile(const std::string& path);

// The file by device and inode (links and other spellings of its path name
// it too), marked when read-only: a writer must not share it.
std::string FileIdentity(const std::string& path, bool read_only);

}  // namespace veldrane::ado
