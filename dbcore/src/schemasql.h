// The schema scripts of the embedded store, compiled in from schema/sqlite/.
#pragma once

namespace ZUBDB {

extern const char* const kProductSchemaSql;
extern const char* const kSystemSchemaSql;

}  // namespace ZUBDB
