// Late-bound calls into a dual interface: the member is found in the type
// information, the arguments coerced to its parameter types, and the vtable
// slot called through libffi (the argument list is only known at run time).
#include <zub/com/typelib.h>

#include <zub/com/automation.h>
#include <zub/com/comptr.h>

#include <ffi.h>

#include <vector>

namespace zub::com {

namespace {

// One argument slot, kept alive until the call returns.
struct ArgSlot {
    Variant coerced;       // owns converted values
    ComPtr<IUnknown> obj;  // owns interfaces queried for typed parameters
    union {
        std::int16_t i16;
        std::int32_t i32;
        std::uint8_t u8;
        float f32;
        double f64;
        void* ptr;
    } value{};
    ffi_type* type = &ffi_type_pointer;
};

// What a parameter's type is, looked through aliases and enums.
struct Shape {
    VARTYPE vt = VT_EMPTY;       // base type, or VT_PTR
    VARTYPE pointee = VT_EMPTY;  // for VT_PTR: the type pointed to
    GUID iid = GUID_NULL;        // interface pointers of a known interface
    bool dispatchable = false;   // interface derives from IDispatch
    bool isInterface = false;    // VT_PTR to an interface, or VT_PTR to that
};

HRESULT ResolveUserType(ITypeInfo* ti, HREFTYPE href, Shape* s, VARTYPE* asValue) {
    ComPtr<ITypeInfo> ref;
    HRESULT hr = ti->GetRefTypeInfo(href, ref.put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    if (FAILED(hr = ref->GetTypeAttr(&attr))) return hr;
    TYPEKIND kind = attr->typekind;
    s->iid = attr->guid;
    s->dispatchable = kind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDUAL) ||
                      (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    VARTYPE alias = attr->tdescAlias.vt;
    ref->ReleaseTypeAttr(attr);
    switch (kind) {
        case TKIND_ENUM:
            *asValue = VT_I4;
            return S_OK;
        case TKIND_ALIAS:
            if (alias == VT_USERDEFINED || alias == VT_PTR) return DISP_E_BADVARTYPE;
            *asValue = alias;
            return S_OK;
        case TKIND_INTERFACE:
        case TKIND_DISPATCH:
            s->isInterface = true;
            *asValue = VT_EMPTY;
            return S_OK;
        default:
            return DISP_E_BADVARTYPE;
    }
}

HRESULT ShapeOf(ITypeInfo* ti, const TYPEDESC& td, Shape* s) {
    if (td.vt == VT_USERDEFINED) {
        VARTYPE v = VT_EMPTY;
        HRESULT hr = ResolveUserType(ti, td.hreftype, s, &v);
        if (FAILED(hr)) return hr;
        if (s->isInterface) return DISP_E_BADVARTYPE;  // interface by value
        s->vt = v;
        return S_OK;
    }
    if (td.vt != VT_PTR) {
        s->vt = td.vt;
        return S_OK;
    }
    s->vt = VT_PTR;
    if (!td.lptdesc) return DISP_E_BADVARTYPE;
    const TYPEDESC& p = *td.lptdesc;
    if (p.vt == VT_USERDEFINED) {
        VARTYPE v = VT_EMPTY;
        HRESULT hr = ResolveUserType(ti, p.hreftype, s, &v);
        if (FAILED(hr)) return hr;
        if (s->isInterface) {
            s->vt = VT_UNKNOWN;  // an interface pointer passed in
            return S_OK;
        }
        s->pointee = v;
        return S_OK;
    }
    if (p.vt == VT_PTR && p.lptdesc && p.lptdesc->vt == VT_USERDEFINED) {
        VARTYPE v = VT_EMPTY;
        HRESULT hr = ResolveUserType(ti, p.lptdesc->hreftype, s, &v);
        if (FAILED(hr) || !s->isInterface) return FAILED(hr) ? hr : DISP_E_BADVARTYPE;
        s->pointee = VT_UNKNOWN;  // out: an interface pointer
        return S_OK;
    }
    s->pointee = p.vt;
    return S_OK;
}

ffi_type* FfiOf(VARTYPE vt) {
    switch (vt) {
        case VT_I2:
        case VT_BOOL:
            return &ffi_type_sint16;
        case VT_UI2:
            return &ffi_type_uint16;
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
        case VT_HRESULT:
            return &ffi_type_sint32;
        case VT_UI4:
        case VT_UINT:
            return &ffi_type_uint32;
        case VT_UI1:
            return &ffi_type_uint8;
        case VT_I1:
            return &ffi_type_sint8;
        case VT_R4:
            return &ffi_type_float;
        case VT_R8:
        case VT_DATE:
            return &ffi_type_double;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return &ffi_type_pointer;
        default:
            return nullptr;
    }
}

void Store(ArgSlot* slot, const VARIANT& v, VARTYPE vt) {
    switch (vt) {
        case VT_I2:
            slot->value.i16 = v.iVal;
            break;
        case VT_BOOL:
            slot->value.i16 = v.boolVal;
            break;
        case VT_I4:
            slot->value.i32 = v.lVal;
            break;
        case VT_ERROR:
            slot->value.i32 = v.scode;
            break;
        case VT_UI1:
            slot->value.u8 = v.bVal;
            break;
        case VT_R4:
            slot->value.f32 = v.fltVal;
            break;
        case VT_R8:
            slot->value.f64 = v.dblVal;
            break;
        case VT_DATE:
            slot->value.f64 = v.date;
            break;
        default:
            slot->value.ptr = v.byref;
            break;
    }
}

// Storage of a retval, freed unless handed to the caller.
struct RetSlot {
    union {
        std::int16_t i16;
        std::int32_t i32;
        std::uint8_t u8;
        float f32;
        double f64;
        void* ptr;
    } value{};
    VARTYPE vt = VT_EMPTY;
    bool dispatchable = false;

    void MoveTo(VARIANT* out) {
        VariantInit(out);
        out->vt = vt;
        switch (vt) {
            case VT_I2:
                out->iVal = value.i16;
                break;
            case VT_BOOL:
                out->boolVal = value.i16;
                break;
            case VT_I4:
                out->lVal = value.i32;
                break;
            case VT_ERROR:
                out->scode = value.i32;
                break;
            case VT_UI1:
                out->bVal = value.u8;
                break;
            case VT_R4:
                out->fltVal = value.f32;
                break;
            case VT_R8:
                out->dblVal = value.f64;
                break;
            case VT_DATE:
                out->date = value.f64;
                break;
            case VT_UNKNOWN:
                out->vt = dispatchable ? VT_DISPATCH : VT_UNKNOWN;
                out->byref = value.ptr;
                break;
            default:
                out->byref = value.ptr;
                break;
        }
        value.ptr = nullptr;
        vt = VT_EMPTY;
    }
    ~RetSlot() {
        if (vt == VT_BSTR) SysFreeString(static_cast<BSTR>(value.ptr));
        if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && value.ptr)
            static_cast<IUnknown*>(value.ptr)->Release();
    }
};

void FillExcepInfo(EXCEPINFO* e, HRESULT hr) {
    *e = EXCEPINFO{};
    e->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return;
    info->GetSource(&e->bstrSource);
    info->GetDescription(&e->bstrDescription);
    info->GetHelpFile(&e->bstrHelpFile);
    info->GetHelpContext(&e->dwHelpContext);
}

INVOKEKIND KindFor(WORD flags, int attempt) {
    // A method call may also be a property get, as script hosts ask both.
    static constexpr struct {
        WORD flag;
        INVOKEKIND kind;
    } kOrder[] = {{DISPATCH_METHOD, INVOKE_FUNC},
                  {DISPATCH_PROPERTYGET, INVOKE_PROPERTYGET},
                  {DISPATCH_PROPERTYPUT, INVOKE_PROPERTYPUT},
                  {DISPATCH_PROPERTYPUTREF, INVOKE_PROPERTYPUTREF}};
    int seen = 0;
    for (const auto& o : kOrder)
        if ((flags & o.flag) && seen++ == attempt) return o.kind;
    return static_cast<INVOKEKIND>(0);
}

HRESULT CheckParams(void* self, ITypeInfo* ti, const DISPPARAMS* params) {
    if (!self || !ti || !params) return E_INVALIDARG;
    if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    return S_OK;
}

// The function description of the member being called, released at the end.
struct Member {
    ITypeInfo* ti = nullptr;
    FUNCDESC* fd = nullptr;
    WORD vtableBytes = 0;

    explicit Member(ITypeInfo* info) : ti(info) {}
    Member(const Member&) = delete;
    Member& operator=(const Member&) = delete;
    ~Member() {
        if (fd) ti->ReleaseFuncDesc(fd);
    }
};

// The member of the requested kind, and whether it has a vtable slot of its
// own past IUnknown's (only such members can be called).
HRESULT FindMember(DISPID member, WORD flags, Member& m) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = m.ti->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const WORD funcCount = attr->cFuncs;
    m.vtableBytes = attr->cbSizeVft;
    m.ti->ReleaseTypeAttr(attr);

    for (int attempt = 0; !m.fd; ++attempt) {
        const INVOKEKIND want = KindFor(flags, attempt);
        if (want == 0) break;
        for (UINT i = 0; i < funcCount && !m.fd; ++i) {
            FUNCDESC* d = nullptr;
            if (FAILED(m.ti->GetFuncDesc(i, &d))) continue;
            if (d->memid == member && (d->invkind == want || (want == INVOKE_PROPERTYPUTREF &&
                                                              d->invkind == INVOKE_PROPERTYPUT))) {
                m.fd = d;
                continue;
            }
            m.ti->ReleaseFuncDesc(d);
        }
    }
    if (!m.fd) return DISP_E_MEMBERNOTFOUND;
    const FUNCDESC& fd = *m.fd;
    if (fd.funckind == FUNC_DISPATCH || fd.funckind == FUNC_STATIC ||
        fd.oVft < static_cast<SHORT>(3 * sizeof(void*)) || fd.oVft >= m.vtableBytes)
        return DISP_E_BADCALLEE;
    return S_OK;
}

// Which parameters are the retval and the locale, and the others (the
// inputs) in declaration order.
struct Layout {
    UINT paramCount = 0;
    UINT retvalIndex = 0;  // paramCount when there is none
    UINT lcidIndex = 0;    // paramCount when there is none
    std::vector<UINT> inputs;
};

Layout LayoutOf(const FUNCDESC& fd) {
    Layout l;
    l.paramCount = static_cast<UINT>(fd.cParams);
    l.retvalIndex = l.lcidIndex = l.paramCount;
    for (UINT i = 0; i < l.paramCount; ++i) {
        const USHORT pf = fd.lprgelemdescParam[i].paramdesc.wParamFlags;
        if (pf & PARAMFLAG_FRETVAL) l.retvalIndex = i;
        if (pf & PARAMFLAG_FLCID) l.lcidIndex = i;
    }
    for (UINT i = 0; i < l.paramCount; ++i)
        if (i != l.retvalIndex && i != l.lcidIndex) l.inputs.push_back(i);
    return l;
}

// Maps each input parameter to its argument: named ones by position
// (DISPID_PROPERTYPUT names the value of a put), the rest in reverse.
HRESULT MapArguments(const FUNCDESC& fd, const Layout& l, const DISPPARAMS& params,
                     std::vector<int>& argOf, UINT* argErr) {
    argOf.assign(l.paramCount, -1);
    const UINT named = params.cNamedArgs;
    const UINT positional = params.cArgs - named;
    const bool isPut = fd.invkind == INVOKE_PROPERTYPUT || fd.invkind == INVOKE_PROPERTYPUTREF;
    for (UINT n = 0; n < named; ++n) {
        const DISPID id = params.rgdispidNamedArgs[n];
        UINT target = l.paramCount;
        if (id == DISPID_PROPERTYPUT && isPut && !l.inputs.empty())
            target = l.inputs.back();
        else if (id >= 0 && static_cast<UINT>(id) < l.paramCount &&
                 static_cast<UINT>(id) != l.retvalIndex)
            target = static_cast<UINT>(id);
        if (target == l.paramCount) {
            if (argErr) *argErr = n;
            return id == DISPID_PROPERTYPUT ? DISP_E_MEMBERNOTFOUND : DISP_E_PARAMNOTFOUND;
        }
        argOf[target] = static_cast<int>(n);
    }
    UINT next = 0;  // positional arguments fill the first unnamed inputs
    for (UINT i : l.inputs) {
        if (argOf[i] >= 0) continue;
        if (next < positional) {
            argOf[i] = static_cast<int>(params.cArgs - 1 - next);
            ++next;
        }
    }
    if (next != positional) return DISP_E_BADPARAMCOUNT;
    for (UINT i : l.inputs)
        if (argOf[i] < 0) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

// An input argument coerced to its parameter's shape and put in its slot.
HRESULT FillArgument(const Shape& shape, const VARIANT& arg, ArgSlot& slot) {
    if (shape.vt == VT_PTR) {
        // By reference: the caller's variant must hold a reference of that type.
        const VARTYPE want = static_cast<VARTYPE>(
            VT_BYREF | (shape.pointee == VT_UNKNOWN && shape.dispatchable ? VARTYPE{VT_DISPATCH}
                                                                          : shape.pointee));
        if (shape.pointee == VT_VARIANT && !(arg.vt & VT_BYREF)) {
            slot.value.ptr = const_cast<VARIANT*>(&arg);
            return S_OK;
        }
        if (arg.vt != want && !(shape.pointee == VT_VARIANT && arg.vt == (VT_BYREF | VT_VARIANT)))
            return DISP_E_TYPEMISMATCH;
        slot.value.ptr = arg.byref;
        return S_OK;
    }
    if (shape.vt == VT_UNKNOWN || shape.vt == VT_DISPATCH) {
        VARTYPE as = shape.vt;
        if (shape.isInterface) as = shape.dispatchable ? VT_DISPATCH : VT_UNKNOWN;
        if (FAILED(VariantChangeType(&slot.coerced, &arg, VARIANT_NOVALUEPROP, as)))
            return DISP_E_TYPEMISMATCH;
        IUnknown* p = slot.coerced.get().punkVal;
        if (p && shape.isInterface && !(shape.iid == IID_IDispatch)) {
            if (FAILED(p->QueryInterface(shape.iid, slot.obj.putVoid())))
                return DISP_E_TYPEMISMATCH;
            p = slot.obj.get();
        }
        slot.value.ptr = p;
        return S_OK;
    }
    ffi_type* ft = FfiOf(shape.vt);
    if (!ft) return DISP_E_BADVARTYPE;
    slot.type = ft;
    const HRESULT hr = VariantChangeType(&slot.coerced, &arg, 0, shape.vt);
    if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    Store(&slot, slot.coerced.get(), shape.vt);
    return S_OK;
}

// One slot per parameter: the locale, the retval's storage, or the argument.
HRESULT FillSlots(ITypeInfo* ti, const FUNCDESC& fd, const Layout& l, const std::vector<int>& argOf,
                  const DISPPARAMS& params, std::vector<ArgSlot>& slots, RetSlot& ret,
                  UINT* argErr) {
    for (UINT i = 0; i < l.paramCount; ++i) {
        ArgSlot& slot = slots[i];
        Shape shape;
        const HRESULT hr = ShapeOf(ti, fd.lprgelemdescParam[i].tdesc, &shape);
        if (FAILED(hr)) return hr;
        if (i == l.lcidIndex) {
            slot.type = &ffi_type_uint32;
            slot.value.i32 = 0;
        } else if (i == l.retvalIndex) {
            if (shape.vt != VT_PTR || !FfiOf(shape.pointee)) return DISP_E_BADVARTYPE;
            ret.vt = shape.pointee;
            ret.dispatchable = shape.dispatchable;
            slot.value.ptr = &ret.value;
        } else {
            const auto argIndex = static_cast<UINT>(argOf[i]);
            const HRESULT filled = FillArgument(shape, params.rgvarg[argIndex], slot);
            if (FAILED(filled)) {
                // A parameter type that cannot be passed is the member's fault.
                if (argErr && filled != DISP_E_BADVARTYPE) *argErr = argIndex;
                return filled;
            }
        }
    }
    return S_OK;
}

// The call itself: this, then the parameters; the member's HRESULT comes
// back in *called.
HRESULT Call(void* self, ITypeInfo* ti, const FUNCDESC& fd, std::vector<ArgSlot>& slots,
             HRESULT* called) {
    std::vector<ffi_type*> types{&ffi_type_pointer};
    std::vector<void*> values{&self};
    for (ArgSlot& s : slots) {
        types.push_back(s.type);
        values.push_back(&s.value);
    }
    Shape retShape;
    if (FAILED(ShapeOf(ti, fd.elemdescFunc.tdesc, &retShape)) || retShape.vt != VT_HRESULT)
        return DISP_E_BADCALLEE;
    ffi_cif cif;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), &ffi_type_sint32,
                     types.data()) != FFI_OK)
        return DISP_E_BADCALLEE;
    void** vtable = *static_cast<void***>(self);
    const auto slotIndex = static_cast<std::size_t>(fd.oVft) / sizeof(void*);
    ffi_arg rc = 0;
    ffi_call(&cif, reinterpret_cast<void (*)()>(vtable[slotIndex]), &rc, values.data());
    *called = static_cast<HRESULT>(static_cast<std::uint32_t>(rc));
    return S_OK;
}

}  // namespace

}  // namespace zub::com

HRESULT DispInvoke(void* self, ITypeInfo* ti, DISPID member, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    using namespace zub::com;
    HRESULT hr = CheckParams(self, ti, params);
    if (FAILED(hr)) return hr;
    Member m(ti);
    if (FAILED(hr = FindMember(member, flags, m))) return hr;
    const Layout layout = LayoutOf(*m.fd);
    std::vector<int> argOf;
    if (FAILED(hr = MapArguments(*m.fd, layout, *params, argOf, argErr))) return hr;
    std::vector<ArgSlot> slots(layout.paramCount);
    RetSlot ret;
    if (FAILED(hr = FillSlots(ti, *m.fd, layout, argOf, *params, slots, ret, argErr))) return hr;
    HRESULT called = S_OK;
    if (FAILED(hr = Call(self, ti, *m.fd, slots, &called))) return hr;

    if (FAILED(called)) {
        if (!excep) return called;
        FillExcepInfo(excep, called);
        return DISP_E_EXCEPTION;
    }
    if (result && layout.retvalIndex < layout.paramCount)
        ret.MoveTo(result);
    else if (result)
        VariantInit(result);
    return called;
}
