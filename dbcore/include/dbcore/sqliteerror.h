// A failure of the embedded store: the SQLite (extended) result code, the
// engine's message and the statement it concerns. Accessor operations turn it
// into their status and error description; procedure bodies throw it.
#pragma once

#include "zub/sqlite/error.h"

namespace ZUBDB {

using SqliteError = zub::sqlite::Error;

}  // namespace ZUBDB
