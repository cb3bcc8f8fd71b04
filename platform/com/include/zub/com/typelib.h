// Type libraries: loading, registration, and automation driven by type
// information (name lookup and late-bound calls into a dual interface).
#pragma once

#include <zub/com/interfaces.h>
#include <zub/com/typelibdata.h>

#include <cstdint>
#include <span>

constexpr MEMBERID MEMBERID_NIL = -1;

// A .tlb file, or a module (shared library) whose "TYPELIB" resource 1 is
// the library; "path\N" or "path/N" selects resource N of a module.
HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
// Through the registry: TypeLib\{LIBID}\major.minor\lcid\win32.
HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib);
// Writes TypeLib\{LIBID}\major.minor (name, \lcid\win32 path, FLAGS, HELPDIR)
// and Interface\{IID} for each dual or automation interface.
HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                          SYSKIND syskind);

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid);
// Calls the vtable member of `_this` that the type information describes,
// coercing the arguments; a failing member's error record ends up in
// pexcepinfo and the call returns DISP_E_EXCEPTION.
HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                   DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

namespace zub::com {

HRESULT LoadTypeLibFromMemory(std::span<const std::uint8_t> bytes, ITypeLib** pptlib);

// The type information of `guid` in the type library that the module
// containing `address` carries as its "TYPELIB" resource 1: what a server's
// IDispatch hands to DispInvoke.
HRESULT TypeInfoOfModule(const void* address, REFGUID guid, ITypeInfo** ppTInfo);

// The data behind a library this runtime loaded; null for any other ITypeLib.
const TypeLibData* TypeLibDataOf(ITypeLib* lib);

}  // namespace zub::com
