// Text rules of the command: the table list and the model-name comparison.
#pragma once

#include <string>
#include <vector>

namespace ZUBCAX {

// Every piece before a comma counts, even an empty one; the piece after the
// last comma counts when it is not empty.
std::vector<std::wstring> SplitTables(const std::wstring& tables);

// True when both name a model file of the same name (numeric version suffix
// ignored, case ignored) in different directories.
bool SameNameOtherDirectory(const std::wstring& current, const std::wstring& requested);

}  // namespace ZUBCAX

namespace ZUBCAX {

// The description file for a library at `modulePath`: its directory with the
// trailing separator, then "/zh-cn/dd_2.xml".
std::wstring DescriptionPathFor(const std::wstring& modulePath);

}  // namespace ZUBCAX
