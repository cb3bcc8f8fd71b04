// Moved to the public header; kept so code here that includes it by its old
// name still compiles.
#pragma once

#include "dbcore/sqlitestatement.h"
