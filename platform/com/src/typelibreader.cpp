// Reader of the binary type-library format ("MSFT"): a header, a directory of
// segments (type entries, imports, GUIDs, names, strings, type descriptions),
// and per type a block of member records. Every offset comes from the file and
// is checked before use.
#include <zub/com/typelibdata.h>

#include <zub/text.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace zub::com {

namespace {

constexpr std::uint32_t kMagic1 = 0x5446534D;  // "MSFT"
constexpr std::uint32_t kMagic2 = 0x00010002;
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kTypeEntrySize = 0x64;
constexpr int kSegments = 15;
constexpr int kMaxTypeDepth = 32;

enum Seg {
    kSegTypeInfo = 0,
    kSegImpInfo,
    kSegImpFiles,
    kSegRefTab,
    kSegGuidHash,
    kSegGuid,
    kSegNameHash,
    kSegName,
    kSegString,
    kSegTypeDesc,
};

[[noreturn]] void Bad(const std::string& what) {
    throw TypeLibFormatError("invalid type library: " + what);
}

struct Segment {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool present = false;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> b) : b_(b) {}

    std::uint32_t U32(std::size_t off) const {
        Need(off, 4);
        std::uint32_t v;
        std::memcpy(&v, b_.data() + off, 4);
        return v;
    }
    std::int32_t I32(std::size_t off) const { return static_cast<std::int32_t>(U32(off)); }
    std::uint16_t U16(std::size_t off) const {
        Need(off, 2);
        std::uint16_t v;
        std::memcpy(&v, b_.data() + off, 2);
        return v;
    }
    std::int16_t I16(std::size_t off) const { return static_cast<std::int16_t>(U16(off)); }
    const std::uint8_t* Bytes(std::size_t off, std::size_t n) const {
        Need(off, n);
        return b_.data() + off;
    }
    std::size_t size() const { return b_.size(); }

    void Need(std::size_t off, std::size_t n) const {
        if (off > b_.size() || n > b_.size() - off) Bad("offset out of range");
    }

private:
    std::span<const std::uint8_t> b_;
};

std::wstring Decode(const std::uint8_t* p, std::size_t n) {
    return Utf8ToWide(std::string_view(reinterpret_cast<const char*>(p), n));
}

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> bytes) : r_(bytes), budget_(bytes.size() / 12) {}

    TypeLibData Run() {
        if (r_.size() < kHeaderSize || r_.U32(0) != kMagic1 || r_.U32(4) != kMagic2)
            Bad("not an MSFT type library");
        TypeLibData lib;
        std::int32_t posGuid = r_.I32(0x08);
        lib.lcid = r_.U32(0x0C);
        std::uint32_t varFlags = r_.U32(0x14);
        lib.sysKind = static_cast<SYSKIND>(varFlags & 0xF);
        if (lib.sysKind > SYS_WIN64) Bad("unknown target system");
        ptrSize_ = lib.sysKind == SYS_WIN64 ? 8 : 4;
        std::uint32_t version = r_.U32(0x18);
        lib.majorVersion = static_cast<WORD>(version & 0xFFFF);
        lib.minorVersion = static_cast<WORD>(version >> 16);
        lib.libFlags = static_cast<WORD>(r_.U32(0x1C));
        std::int32_t typeCount = r_.I32(0x20);
        std::int32_t helpString = r_.I32(0x24);
        lib.helpContext = r_.U32(0x2C);
        std::int32_t nameOffset = r_.I32(0x38);
        std::int32_t helpFile = r_.I32(0x3C);

        std::size_t pos = kHeaderSize;
        if (varFlags & 0x100) pos += 4;  // help-string DLL
        if (typeCount < 0 || static_cast<std::size_t>(typeCount) > r_.size() / kTypeEntrySize)
            Bad("type count");
        pos += static_cast<std::size_t>(typeCount) * 4;
        for (int i = 0; i < kSegments; ++i) {
            std::int32_t off = r_.I32(pos + static_cast<std::size_t>(i) * 16);
            std::int32_t len = r_.I32(pos + static_cast<std::size_t>(i) * 16 + 4);
            if (off == -1 || len <= 0) continue;
            if (off < 0) Bad("segment offset");
            r_.Need(static_cast<std::size_t>(off), static_cast<std::size_t>(len));
            seg_[i] = {static_cast<std::size_t>(off), static_cast<std::size_t>(len), true};
        }
        if (static_cast<std::size_t>(typeCount) * kTypeEntrySize > seg_[kSegTypeInfo].length)
            Bad("type table too short");

        if (posGuid >= 0) lib.guid = Guid(posGuid);
        lib.name = Name(nameOffset);
        lib.helpString = String(helpString);
        lib.helpFile = String(helpFile);
        lib.types.reserve(static_cast<std::size_t>(typeCount));
        for (std::int32_t i = 0; i < typeCount; ++i)
            lib.types.push_back(
                Type(static_cast<std::size_t>(i), static_cast<std::size_t>(typeCount)));
        ReadImports(&lib);
        return lib;
    }

private:
    std::size_t In(Seg s, std::int64_t off, std::size_t n, const char* what) const {
        const Segment& g = seg_[s];
        if (!g.present || off < 0 || static_cast<std::uint64_t>(off) > g.length ||
            n > g.length - static_cast<std::size_t>(off))
            Bad(what);
        return g.offset + static_cast<std::size_t>(off);
    }

    GUID Guid(std::int32_t off) const {
        std::size_t at = In(kSegGuid, off, 16, "GUID offset");
        GUID g;
        std::memcpy(&g, r_.Bytes(at, 16), 16);
        return g;
    }

    std::wstring Name(std::int32_t off) const {
        if (off < 0) return {};
        std::size_t at = In(kSegName, off, 12, "name offset");
        std::size_t len = r_.U32(at + 8) & 0xFF;
        std::size_t chars = In(kSegName, std::int64_t{off} + 12, len, "name length");
        return Decode(r_.Bytes(chars, len), len);
    }

    std::wstring String(std::int32_t off) const {
        if (off < 0) return {};
        std::size_t at = In(kSegString, off, 2, "string offset");
        std::size_t len = r_.U16(at);
        std::size_t chars = In(kSegString, std::int64_t{off} + 2, len, "string length");
        return Decode(r_.Bytes(chars, len), len);
    }

    TypeDescData TypeDesc(std::int32_t dt, int depth) const {
        if (depth > kMaxTypeDepth) Bad("type description nests too deep");
        TypeDescData td;
        if (dt < 0) {
            td.vt = static_cast<VARTYPE>(static_cast<std::uint32_t>(dt) & VT_TYPEMASK);
            return td;
        }
        std::size_t at = In(kSegTypeDesc, dt, 8, "type description offset");
        td.vt = static_cast<VARTYPE>(r_.U16(at) & VT_TYPEMASK);
        std::int32_t value = r_.I32(at + 4);
        switch (td.vt) {
            case VT_PTR:
            case VT_SAFEARRAY:
                td.pointee = std::make_shared<TypeDescData>(TypeDesc(value, depth + 1));
                break;
            case VT_USERDEFINED:
                td.hreftype = static_cast<HREFTYPE>(value);
                break;
            default:
                break;
        }
        return td;
    }

    TypeData Type(std::size_t index, std::size_t count) const {
        std::size_t e = seg_[kSegTypeInfo].offset + index * kTypeEntrySize;
        TypeData t;
        std::uint32_t kind = r_.U32(e);
        if ((kind & 0xF) >= TKIND_MAX) Bad("type kind");
        t.kind = static_cast<TYPEKIND>(kind & 0xF);
        t.alignment = static_cast<int>((kind >> 11) & 0x1F);
        std::int32_t memOffset = r_.I32(e + 0x04);
        std::uint32_t elements = r_.U32(e + 0x18);
        std::int32_t posGuid = r_.I32(e + 0x2C);
        t.flags = static_cast<WORD>(r_.U32(e + 0x30));
        t.name = Name(r_.I32(e + 0x34));
        std::uint32_t version = r_.U32(e + 0x38);
        t.majorVersion = static_cast<WORD>(version & 0xFFFF);
        t.minorVersion = static_cast<WORD>(version >> 16);
        t.helpString = String(r_.I32(e + 0x3C));
        t.helpContext = r_.U32(e + 0x44);
        std::int16_t implCount = r_.I16(e + 0x4C);
        std::uint16_t vftBytes = r_.U16(e + 0x4E);
        t.size = r_.U32(e + 0x50);
        std::int32_t datatype1 = r_.I32(e + 0x54);
        if (posGuid >= 0) t.guid = Guid(posGuid);
        t.vtableSlots = vftBytes / ptrSize_;

        if (t.kind == TKIND_COCLASS) {
            std::int32_t ref = datatype1;
            for (int n = 0; ref >= 0; ++n) {
                if (n >= implCount) Bad("implemented-type list too long");
                std::size_t at = In(kSegRefTab, ref, 16, "reference offset");
                t.implTypes.push_back({r_.U32(at), r_.I32(at + 4)});
                ref = r_.I32(at + 12);
            }
        } else if ((t.kind == TKIND_INTERFACE || t.kind == TKIND_DISPATCH) && datatype1 != -1) {
            t.implTypes.push_back({static_cast<HREFTYPE>(datatype1), 0});
        } else if (t.kind == TKIND_ALIAS) {
            t.aliasOf = TypeDesc(datatype1, 0);
        }
        for (const ImplTypeData& it : t.implTypes)
            if (!(it.hreftype & 1) &&
                (it.hreftype % kTypeEntrySize != 0 || it.hreftype / kTypeEntrySize >= count))
                Bad("reference to a missing type");

        std::size_t funcCount = elements & 0xFFFF;
        std::size_t varCount = elements >> 16;
        if (funcCount + varCount > 0) ReadMembers(memOffset, funcCount, varCount, &t);
        return t;
    }

    void ReadMembers(std::int32_t memOffset, std::size_t funcs, std::size_t vars,
                     TypeData* t) const {
        if (memOffset < 0) Bad("member block offset");
        auto base = static_cast<std::size_t>(memOffset);
        std::uint32_t infoLen = r_.U32(base);
        std::size_t start = base + 4;
        r_.Need(start, infoLen);
        std::size_t end = start + infoLen;
        std::size_t total = funcs + vars;
        if (total > (r_.size() - end) / 12) Bad("member count");
        std::size_t memids = end, names = end + total * 4, offsets = end + total * 8;
        t->funcs.reserve(funcs);
        for (std::size_t i = 0; i < funcs; ++i) {
            std::uint32_t rel = r_.U32(offsets + i * 4);
            if (rel >= infoLen || infoLen - rel < 24) Bad("member record offset");
            std::size_t rec = start + rel;
            std::size_t recLen = r_.U32(rec) & 0xFFFF;
            if (recLen < 24 || recLen > infoLen - rel) Bad("member record length");
            Spend(1 + static_cast<std::size_t>(std::max<std::int16_t>(r_.I16(rec + 20), 0)));
            FuncData f;
            f.memid = r_.I32(memids + i * 4);
            f.name = Name(r_.I32(names + i * 4));
            f.returnType = TypeDesc(r_.I32(rec + 4), 0);
            f.funcFlags = static_cast<WORD>(r_.U32(rec + 8));
            std::int16_t oVft = r_.I16(rec + 12);
            std::uint32_t kinds = r_.U32(rec + 16);
            f.funcKind = static_cast<FUNCKIND>(kinds & 0x7);
            f.invKind = static_cast<INVOKEKIND>((kinds >> 3) & 0xF);
            f.callConv = static_cast<CALLCONV>((kinds >> 8) & 0xF);
            if (f.funcKind > FUNC_DISPATCH) Bad("function kind");
            if (f.invKind != INVOKE_FUNC && f.invKind != INVOKE_PROPERTYGET &&
                f.invKind != INVOKE_PROPERTYPUT && f.invKind != INVOKE_PROPERTYPUTREF)
                Bad("invoke kind");
            std::int16_t nargs = r_.I16(rec + 20);
            f.optionalParams = r_.I16(rec + 22);
            if (nargs < 0 || static_cast<std::size_t>(nargs) * 12 > recLen - 24)
                Bad("parameter count");
            if (oVft < 0 || oVft % static_cast<int>(ptrSize_) != 0) Bad("vtable offset");
            f.slot = oVft / static_cast<int>(ptrSize_);
            std::size_t extras = (recLen - 24 - static_cast<std::size_t>(nargs) * 12) / 4;
            if (extras > 0) f.helpContext = r_.U32(rec + 24);
            if (extras > 1) f.helpString = String(r_.I32(rec + 28));
            std::size_t params = rec + recLen - static_cast<std::size_t>(nargs) * 12;
            for (std::int16_t p = 0; p < nargs; ++p) {
                std::size_t at = params + static_cast<std::size_t>(p) * 12;
                ParamData pd;
                pd.type = TypeDesc(r_.I32(at), 0);
                pd.name = Name(r_.I32(at + 4));
                pd.flags = static_cast<USHORT>(r_.U32(at + 8) & 0xFF);
                f.params.push_back(std::move(pd));
            }
            t->funcs.push_back(std::move(f));
        }
    }

    void ReadImports(TypeLibData* lib) const {
        const Segment& imp = seg_[kSegImpInfo];
        if (!imp.present) return;
        for (std::size_t off = 0; off + 12 <= imp.length; off += 12) {
            std::size_t at = imp.offset + off;
            ImportData d;
            std::uint32_t flags = r_.U32(at);
            d.kind = static_cast<TYPEKIND>((flags >> 24) & 0xF);
            std::int32_t file = r_.I32(at + 4);
            d.typeGuid = Guid(r_.I32(at + 8));
            std::size_t f = In(kSegImpFiles, file, 14, "import file offset");
            d.libGuid = Guid(r_.I32(f));
            d.libLcid = r_.U32(f + 4);
            std::uint32_t v = r_.U32(f + 8);
            d.libMajor = static_cast<WORD>(v & 0xFFFF);
            d.libMinor = static_cast<WORD>(v >> 16);
            std::size_t len = r_.U16(f + 12) >> 2;
            std::size_t chars =
                In(kSegImpFiles, static_cast<std::int64_t>(file) + 14, len, "import file name");
            d.libFile = Decode(r_.Bytes(chars, len), len);
            lib->imports.emplace_back(static_cast<HREFTYPE>(off | 1), std::move(d));
        }
    }

    // Each member and parameter owns bytes of its own in a sound file; types
    // that share one block cannot make the reader build more than that.
    void Spend(std::size_t n) const {
        if (n > budget_) Bad("member records overlap");
        budget_ -= n;
    }

    Reader r_;
    mutable std::size_t budget_;
    Segment seg_[kSegments];
    unsigned ptrSize_ = 4;
};

}  // namespace

const TypeData* TypeLibData::LocalType(HREFTYPE h) const {
    if (h & 1 || h % kTypeEntrySize != 0 || h / kTypeEntrySize >= types.size()) return nullptr;
    return &types[h / kTypeEntrySize];
}

const ImportData* TypeLibData::Import(HREFTYPE h) const {
    for (const auto& [href, data] : imports)
        if (href == h) return &data;
    return nullptr;
}

TypeLibData ReadTypeLib(std::span<const std::uint8_t> bytes) { return Parser(bytes).Run(); }

}  // namespace zub::com
