#include "typelibimpl.h"

#include <zub/com/automation.h>
#include <zub/com/comptr.h>

#include <cwctype>
#include <deque>
#include <fstream>
#include <iterator>
#include <new>

namespace zub::com {

namespace {

// Answered only by our own ITypeLib, so TypeLibDataOf can recognise it.
constexpr IID kIID_TypeLibImpl{
    0x7A3C1E52, 0x0D4B, 0x4F6E, {0x9A, 0x21, 0x5E, 0x33, 0x8C, 0x10, 0x7B, 0x64}};

BSTR Out(const std::wstring& s) { return MakeBstr(s); }

void Fill(BSTR* p, const std::wstring& s) {
    if (p) *p = Out(s);
}

}  // namespace

bool SameName(std::wstring_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

// TypeInfoImpl

struct TypeInfoImpl::FuncDescBlock {
    FUNCDESC desc{};
    std::vector<ELEMDESC> params;
    std::deque<TYPEDESC> chain;  // pointees; a deque keeps addresses stable

    TYPEDESC Convert(const TypeDescData& d) {
        TYPEDESC t{};
        t.vt = d.vt;
        if ((d.vt == VT_PTR || d.vt == VT_SAFEARRAY) && d.pointee) {
            chain.push_back(Convert(*d.pointee));
            t.lptdesc = &chain.back();
        } else if (d.vt == VT_USERDEFINED) {
            t.hreftype = d.hreftype;
        }
        return t;
    }
};

TypeInfoImpl::TypeInfoImpl(TypeLibImpl* lib, std::size_t index) : lib_(lib), index_(index) {}
TypeInfoImpl::~TypeInfoImpl() = default;

const TypeData& TypeInfoImpl::data() const { return lib_->data().types[index_]; }
const TypeLibData& TypeInfoImpl::libData() const { return lib_->data(); }

HRESULT TypeInfoImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
        *ppv = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TypeInfoImpl::AddRef() { return lib_->AddRef(); }
ULONG TypeInfoImpl::Release() { return lib_->Release(); }

HRESULT TypeInfoImpl::GetTypeAttr(TYPEATTR** out) {
    if (!out) return E_INVALIDARG;
    const TypeData& t = data();
    auto* a = new (std::nothrow) TYPEATTR{};
    if (!a) return E_OUTOFMEMORY;
    a->guid = t.guid;
    a->lcid = libData().lcid;
    a->memidConstructor = MEMBERID_NIL;
    a->memidDestructor = MEMBERID_NIL;
    a->cbSizeInstance = t.size;
    a->typekind = t.kind;
    a->cFuncs = static_cast<WORD>(t.funcs.size());
    a->cImplTypes = static_cast<WORD>(t.implTypes.size());
    a->cbSizeVft = static_cast<WORD>(static_cast<std::size_t>(t.vtableSlots) * sizeof(void*));
    a->cbAlignment = static_cast<WORD>(t.alignment);
    a->wTypeFlags = t.flags;
    a->wMajorVerNum = t.majorVersion;
    a->wMinorVerNum = t.minorVersion;
    a->tdescAlias.vt = t.kind == TKIND_ALIAS ? t.aliasOf.vt : VARTYPE{VT_EMPTY};
    if (t.kind == TKIND_ALIAS && t.aliasOf.vt == VT_USERDEFINED)
        a->tdescAlias.hreftype = t.aliasOf.hreftype;
    *out = a;
    return S_OK;
}

void TypeInfoImpl::ReleaseTypeAttr(TYPEATTR* a) { delete a; }

HRESULT TypeInfoImpl::GetTypeComp(IUnknown** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeInfoImpl::GetFuncDesc(UINT index, FUNCDESC** out) {
    if (!out) return E_INVALIDARG;
    const TypeData& t = data();
    if (index >= t.funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    const FuncData& f = t.funcs[index];
    auto block = std::make_unique<FuncDescBlock>();
    FUNCDESC& d = block->desc;
    d.memid = f.memid;
    d.funckind = f.funcKind;
    d.invkind = f.invKind;
    d.callconv = f.callConv;
    d.cParams = static_cast<SHORT>(f.params.size());
    d.cParamsOpt = static_cast<SHORT>(f.optionalParams);
    d.oVft = static_cast<SHORT>(static_cast<std::size_t>(f.slot) * sizeof(void*));
    d.wFuncFlags = f.funcFlags;
    d.elemdescFunc.tdesc = block->Convert(f.returnType);
    block->params.resize(f.params.size());
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        block->params[i].tdesc = block->Convert(f.params[i].type);
        block->params[i].paramdesc.wParamFlags = f.params[i].flags;
    }
    d.lprgelemdescParam = block->params.empty() ? nullptr : block->params.data();
    *out = &block->desc;
    std::lock_guard lock(mutex_);
    funcDescs_.emplace(&block->desc, std::move(block));
    return S_OK;
}

void TypeInfoImpl::ReleaseFuncDesc(FUNCDESC* d) {
    std::lock_guard lock(mutex_);
    funcDescs_.erase(d);
}

HRESULT TypeInfoImpl::GetVarDesc(UINT, VARDESC** out) {
    if (out) *out = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
}

void TypeInfoImpl::ReleaseVarDesc(VARDESC*) {}

HRESULT TypeInfoImpl::GetNames(MEMBERID memid, BSTR* names, UINT max, UINT* count) {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    for (const FuncData& f : data().funcs) {
        if (f.memid != memid) continue;
        if (max == 0) return S_OK;
        names[(*count)++] = Out(f.name);
        for (const ParamData& p : f.params) {
            if (*count >= max || p.name.empty()) break;
            names[(*count)++] = Out(p.name);
        }
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeInfoImpl::GetRefTypeOfImplType(UINT index, HREFTYPE* out) {
    if (!out) return E_INVALIDARG;
    const TypeData& t = data();
    if (index >= t.implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = t.implTypes[index].hreftype;
    return S_OK;
}

HRESULT TypeInfoImpl::GetImplTypeFlags(UINT index, INT* out) {
    if (!out) return E_INVALIDARG;
    const TypeData& t = data();
    if (index >= t.implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = t.implTypes[index].flags;
    return S_OK;
}

HRESULT TypeInfoImpl::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) {
    if (!names || !ids) return E_INVALIDARG;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (!names[0]) return DISP_E_UNKNOWNNAME;
    std::u16string_view member(names[0]);
    for (const FuncData& f : data().funcs) {
        if (!SameName(f.name, member)) continue;
        ids[0] = f.memid;
        bool allFound = true;
        // Further names are parameters, identified by their position.
        for (UINT i = 1; i < count; ++i) {
            bool found = false;
            for (std::size_t p = 0; names[i] && p < f.params.size(); ++p)
                if (SameName(f.params[p].name, std::u16string_view(names[i]))) {
                    ids[i] = static_cast<MEMBERID>(p);
                    found = true;
                    break;
                }
            allFound = allFound && found;
        }
        return allFound ? S_OK : DISP_E_UNKNOWNNAME;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT TypeInfoImpl::Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return DispInvoke(instance, this, memid, flags, params, result, excep, argErr);
}

HRESULT TypeInfoImpl::GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* context,
                                       BSTR* helpFile) {
    const TypeData& t = data();
    if (memid == MEMBERID_NIL) {
        Fill(name, t.name);
        Fill(doc, t.helpString);
        if (context) *context = t.helpContext;
        Fill(helpFile, libData().helpFile);
        return S_OK;
    }
    for (const FuncData& f : t.funcs) {
        if (f.memid != memid) continue;
        Fill(name, f.name);
        Fill(doc, f.helpString);
        if (context) *context = f.helpContext;
        Fill(helpFile, libData().helpFile);
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeInfoImpl::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) {
    return TYPE_E_BADMODULEKIND;
}

HRESULT TypeInfoImpl::GetRefTypeInfo(HREFTYPE href, ITypeInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    const TypeLibData& lib = libData();
    if (const TypeData* local = lib.LocalType(href))
        return lib_->GetTypeInfo(static_cast<UINT>(local - lib.types.data()), out);
    const ImportData* imp = lib.Import(href);
    if (!imp) return TYPE_E_ELEMENTNOTFOUND;
    ComPtr<ITypeLib> other;
    HRESULT hr =
        LoadRegTypeLib(imp->libGuid, imp->libMajor, imp->libMinor, imp->libLcid, other.put());
    if (FAILED(hr)) return hr;
    return other->GetTypeInfoOfGuid(imp->typeGuid, out);
}

HRESULT TypeInfoImpl::AddressOfMember(MEMBERID, INVOKEKIND, void** ppv) {
    if (ppv) *ppv = nullptr;
    return TYPE_E_BADMODULEKIND;
}

HRESULT TypeInfoImpl::CreateInstance(IUnknown*, REFIID, void** ppv) {
    if (ppv) *ppv = nullptr;
    return TYPE_E_WRONGTYPEKIND;
}

HRESULT TypeInfoImpl::GetMops(MEMBERID, BSTR* mops) {
    if (mops) *mops = nullptr;
    return S_OK;
}

HRESULT TypeInfoImpl::GetContainingTypeLib(ITypeLib** lib, UINT* index) {
    if (lib) {
        lib_->AddRef();
        *lib = lib_;
    }
    if (index) *index = static_cast<UINT>(index_);
    return S_OK;
}

// TypeLibImpl

TypeLibImpl::TypeLibImpl(TypeLibData data) : data_(std::move(data)) {
    for (std::size_t i = 0; i < data_.types.size(); ++i)
        infos_.push_back(std::make_unique<TypeInfoImpl>(this, i));
}

HRESULT TypeLibImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib || riid == kIID_TypeLibImpl) {
        *ppv = static_cast<ITypeLib*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TypeLibImpl::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

HRESULT TypeLibImpl::GetTypeInfo(UINT index, ITypeInfo** out) {
    if (!out) return E_INVALIDARG;
    if (index >= infos_.size()) return *out = nullptr, TYPE_E_ELEMENTNOTFOUND;
    AddRef();
    *out = infos_[index].get();
    return S_OK;
}

HRESULT TypeLibImpl::GetTypeInfoType(UINT index, TYPEKIND* kind) {
    if (!kind) return E_INVALIDARG;
    if (index >= infos_.size()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = data_.types[index].kind;
    return S_OK;
}

HRESULT TypeLibImpl::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    for (std::size_t i = 0; i < data_.types.size(); ++i)
        if (data_.types[i].guid == guid) return GetTypeInfo(static_cast<UINT>(i), out);
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeLibImpl::GetLibAttr(TLIBATTR** out) {
    if (!out) return E_INVALIDARG;
    auto* a = new (std::nothrow) TLIBATTR{};
    if (!a) return E_OUTOFMEMORY;
    a->guid = data_.guid;
    a->lcid = data_.lcid;
    a->syskind = data_.sysKind;
    a->wMajorVerNum = data_.majorVersion;
    a->wMinorVerNum = data_.minorVersion;
    a->wLibFlags = data_.libFlags;
    *out = a;
    return S_OK;
}

void TypeLibImpl::ReleaseTLibAttr(TLIBATTR* a) { delete a; }

HRESULT TypeLibImpl::GetTypeComp(IUnknown** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeLibImpl::GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context,
                                      BSTR* helpFile) {
    if (index == -1) {
        Fill(name, data_.name);
        Fill(doc, data_.helpString);
        if (context) *context = data_.helpContext;
        Fill(helpFile, data_.helpFile);
        return S_OK;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= infos_.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return infos_[static_cast<std::size_t>(index)]->GetDocumentation(MEMBERID_NIL, name, doc,
                                                                     context, helpFile);
}

HRESULT TypeLibImpl::IsName(LPOLESTR name, ULONG, int* found) {
    if (!name || !found) return E_INVALIDARG;
    std::u16string_view n(name);
    *found = 0;
    for (const TypeData& t : data_.types) {
        if (SameName(t.name, n)) return *found = 1, S_OK;
        for (const FuncData& f : t.funcs) {
            if (SameName(f.name, n)) return *found = 1, S_OK;
            for (const ParamData& p : f.params)
                if (SameName(p.name, n)) return *found = 1, S_OK;
        }
    }
    return S_OK;
}

HRESULT TypeLibImpl::FindName(LPOLESTR name, ULONG, ITypeInfo** infos, MEMBERID* ids,
                              USHORT* count) {
    if (!name || !infos || !ids || !count) return E_INVALIDARG;
    std::u16string_view n(name);
    USHORT found = 0;
    for (std::size_t i = 0; i < data_.types.size() && found < *count; ++i) {
        const TypeData& t = data_.types[i];
        MEMBERID id = DISPID_UNKNOWN;
        bool match = SameName(t.name, n);
        if (match) id = MEMBERID_NIL;
        for (const FuncData& f : t.funcs)
            if (!match && SameName(f.name, n)) match = true, id = f.memid;
        if (!match) continue;
        GetTypeInfo(static_cast<UINT>(i), &infos[found]);
        ids[found++] = id;
    }
    *count = found;
    return S_OK;
}

HRESULT LoadTypeLibFromMemory(std::span<const std::uint8_t> bytes, ITypeLib** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    try {
        *out = new TypeLibImpl(ReadTypeLib(bytes));
        return S_OK;
    } catch (const TypeLibFormatError&) {
        return TYPE_E_INVDATAREAD;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

const TypeLibData* TypeLibDataOf(ITypeLib* lib) {
    if (!lib) return nullptr;
    void* p = nullptr;
    if (FAILED(lib->QueryInterface(kIID_TypeLibImpl, &p))) return nullptr;
    auto* impl = static_cast<TypeLibImpl*>(static_cast<ITypeLib*>(p));
    impl->Release();
    return &impl->data();
}

}  // namespace zub::com

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!ptinfo) return E_INVALIDARG;
    return ptinfo->GetIDsOfNames(names, count, ids);
}
