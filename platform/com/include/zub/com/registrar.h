// Registrar scripts: the text form of a server's registry entries, run in a
// registering or a removing mode.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {GUID} = s 'Name Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Keys may be marked NoRemove (kept when removing), ForceRemove (deleted whole
// before being written, and when removing) or Delete (deleted when
// registering). Values: s 'text', d number (decimal or 0x hex), b 'hex bytes'.
// Names are bare words or quoted with ' (a doubled '' is a quote); %NAME% is
// replaced everywhere, %% is a %.
#pragma once

#include <zub/com/types.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zub::com {

// Where a script writes. Roots arrive as HKCR, HKCU, HKLM, HKU or HKCC;
// paths are relative to the root, components joined with '\'.
class RegistrarTarget {
public:
    virtual ~RegistrarTarget() = default;
    virtual HRESULT CreateKey(std::wstring_view root, std::wstring_view path) = 0;
    virtual bool KeyExists(std::wstring_view root, std::wstring_view path) = 0;
    virtual bool HasSubKeys(std::wstring_view root, std::wstring_view path) = 0;
    virtual HRESULT SetString(std::wstring_view root, std::wstring_view path,
                              std::wstring_view name, std::wstring_view value) = 0;
    virtual HRESULT SetDword(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                             std::uint32_t value) = 0;
    virtual HRESULT SetBinary(std::wstring_view root, std::wstring_view path,
                              std::wstring_view name, const std::vector<std::uint8_t>& value) = 0;
    // Missing keys and values are not an error.
    virtual HRESULT DeleteTree(std::wstring_view root, std::wstring_view path) = 0;
    virtual HRESULT DeleteValue(std::wstring_view root, std::wstring_view path,
                                std::wstring_view name) = 0;
};

class RegistrarSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Replacements = std::map<std::wstring, std::wstring>;

// Parses the whole script first (a syntax error writes nothing: E_INVALIDARG,
// with the reason in *error), then registers or removes. Returns the first
// failing status of the target.
HRESULT RunRegistrarScript(std::wstring_view script, const Replacements& replacements,
                           bool registering, RegistrarTarget& target,
                           std::wstring* error = nullptr);

// Script text from a resource: UTF-16LE with a byte-order mark, else UTF-8.
std::wstring RegistrarScriptText(const std::uint8_t* data, std::size_t size);

}  // namespace zub::com
