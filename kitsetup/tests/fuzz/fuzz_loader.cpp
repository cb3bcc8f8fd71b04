// Any bytes as an install script: the loader must neither crash nor hang.
#include <cstddef>
#include <cstdint>

#include "kitsetup/script_loader.h"
#include "zub/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zub::kitsetup::Script script;
    zub::kitsetup::ErrorInfo error;
    const int r =
        zub::kitsetup::LoadScriptMemory(reinterpret_cast<const char*>(data), size, script, error);
    // A failed load carries the parse message or names the refused line; a
    // loaded one keeps its maps keyed by the records' own names.
    if (r != 0 && error.message != zub::Utf8ToWide(zub::kitsetup::kNotParsed) &&
        error.message.rfind(L"install.xml 第 ", 0) != 0)
        __builtin_trap();
    if (r == 0) {
        for (const auto& [name, g] : script.fileGroups)
            if (name != g.name) __builtin_trap();
        for (const auto& [name, c] : script.checks)
            if (name != c.name || (!c.complete && !c.parameter.empty())) __builtin_trap();
    }
    return 0;
}
