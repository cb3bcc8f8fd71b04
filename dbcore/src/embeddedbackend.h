// How CDBAccessorCreator opens embedded stores with their registered definition.
#pragma once

#include <memory>
#include <string>

#include "dbcore/cdbaccessor.h"
#include "dbcore/cdbaccessorcreator.h"

namespace ZUBDB {

// Opens "scheme:DIR" with the definition registered for the scheme at the
// time of each call.
CDBAccessorCreator::Factory EmbeddedBackend(const std::wstring& scheme);
// Opens one database file of a "sqlite" store, named by its path.
std::unique_ptr<CDBAccessor> OpenEmbeddedFile(const std::string& path);

}  // namespace ZUBDB
