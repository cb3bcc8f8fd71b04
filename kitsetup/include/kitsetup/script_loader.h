// Reads an install script into the model through libxml2 and XPath.
#pragma once

#include <cstddef>
#include <string>

#include "kitsetup/error_info.h"
#include "kitsetup/script.h"
#include "zub/i18n.h"

namespace zub::kitsetup {

// The error of a script that does not parse: kept as it is in the error,
// translated where it is shown (Shown).
inline constexpr const char* kNotParsed = ZUB_N_("Document not parsed successfully. \n");

// Loads the script at path (narrow, as the parser takes it). 0 on success;
// 1 with kNotParsed in error when the file cannot be read or is not XML.
// Missing sections, elements and attributes read as defaults.
int LoadScriptFile(const std::string& path, Script& out, ErrorInfo& error);
int LoadScriptMemory(const char* data, std::size_t size, Script& out, ErrorInfo& error);

}  // namespace zub::kitsetup
