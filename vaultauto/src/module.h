// Module-wide state of the server: its lock count, its type library, and the
// set of wrapper objects alive in the process.
#pragma once

#include <zub/com/interfaces.h>

#include <string>

namespace zub::vaultauto {

// Live objects (wrappers, however made) and server locks keep the module loaded.
void ObjectCreated();
void ObjectDestroyed();
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// Type information of one of the server's interfaces, from the type library
// embedded in this module.
HRESULT TypeInfoOf(REFIID iid, ITypeInfo** out);
// Full path of this module's file.
std::wstring ModulePath();

// Interface pointers of the wrappers alive now with their interface, so that
// a member receiving an interface pointer can tell one of ours (of the class
// it expects) from a foreign implementation.
void WrapperBorn(const void* itf, const IID& iid);
void WrapperDied(const void* itf);
bool IsOurWrapper(const void* itf, const IID& iid);

// Where the last exception caught at a member boundary of this thread was
// stamped (catch file, qualified member, line): kept for diagnostics.
struct MemberFault {
    std::wstring file;
    std::wstring function;
    int line = 0;
    std::wstring text;
};
void RecordMemberFault(MemberFault fault);
MemberFault LastMemberFault();

}  // namespace zub::vaultauto
