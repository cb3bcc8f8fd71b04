// The product's schema scripts, compiled in from sqlite/*.sql and postgresql/*.sql.
#pragma once

namespace zub::vaultschema {

extern const char* const kProductSchemaSql;
extern const char* const kSystemSchemaSql;
extern const char* const kServerProductSchemaSql;
extern const char* const kServerSystemSchemaSql;

}  // namespace zub::vaultschema
