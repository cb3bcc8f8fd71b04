// The product's schema scripts, compiled in from sqlite/*.sql.
#pragma once

namespace vaultschema {

extern const char* const kProductSchemaSql;
extern const char* const kSystemSchemaSql;

}  // namespace vaultschema
