// Dynamic libraries (LoadLibrary, GetProcAddress, FreeLibrary, module file
// names) and the resources a module carries.
//
// Resources. A module carries resources as data compiled into it: the CMake
// function zub_add_resources(target TYPE type ID id FILE path ...) turns the
// files into a generated source of the target that exports the C function
// zub_module_resources (visibility default). FindResource looks that symbol up
// in the given module only (a dependency's table never answers for it). Types
// are names such as "TYPELIB" or "REGISTRY", compared without regard to case;
// ids are numbers. The data lives as long as the module stays loaded. A
// target that limits its exports (version script, -fvisibility) must keep
// zub_module_resources among them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "zub/platform/error.h"

extern "C" {
// One resource as the generated table holds it.
struct ZubResourceEntry {
    const char* type;
    std::uint32_t id;
    const unsigned char* data;
    std::size_t size;
};
}

namespace zub::platform {

// A module of the process that is not owned here (HMODULE): a dlopen handle.
using ModuleHandle = void*;

// A loaded library, freed on destruction (FreeLibrary). Movable.
class Library {
public:
    Library() = default;
    explicit Library(ModuleHandle handle) : handle_(handle) {}
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library();

    ModuleHandle Handle() const { return handle_; }
    bool IsLoaded() const { return handle_ != nullptr; }
    // Frees now; true when it was loaded.
    bool Free();
    // Lets go without freeing (a library that must stay loaded).
    ModuleHandle Release();

private:
    ModuleHandle handle_ = nullptr;
};

// Loads the library at `path` with its symbols resolved now and kept local to
// it; its dependencies are found beside it first (its RUNPATH) as with the
// altered search path. Missing file: kErrorModNotFound; not a library of this
// machine: kErrorBadExeFormat.
Error LoadLibrary(const std::wstring& path, Library& out);

// The address of an exported function or object; kErrorProcNotFound when the
// module has none of that name.
Error GetProcAddress(ModuleHandle module, const char* name, void*& address);

// Full path of the file of the module (library or program) that contains
// `address` (GetModuleFileName on GetModuleHandleEx(FROM_ADDRESS)).
// kErrorModNotFound when the address is in no module.
Error ModulePathFromAddress(const void* address, std::wstring& path);
// Full path of a loaded module's file; the program's own for nullptr.
Error ModulePath(ModuleHandle module, std::wstring& path);

// A resource of `module` (nullptr: the program) by type and id. Not found:
// kErrorResourceDataNotFound when the module carries no resources at all,
// kErrorResourceTypeNotFound when none of that type, kErrorResourceNameNotFound
// when it has the type but not the id.
Error FindResource(ModuleHandle module, std::string_view type, std::uint32_t id,
                   std::span<const std::uint8_t>& data);
// The same for the module containing `address`, which must stay loaded while
// the data is used.
Error FindResourceOfAddress(const void* address, std::string_view type, std::uint32_t id,
                            std::span<const std::uint8_t>& data);

}  // namespace zub::platform
