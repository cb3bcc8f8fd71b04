// libFuzzer target for the type-library reader: any bytes either read or
// fail with TypeLibFormatError. The test zub_com_fuzz_typelib seeds it with
// widl's output.
#include <zub/com/typelibdata.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        zub::com::TypeLibData lib = zub::com::ReadTypeLib({data, size});
        std::size_t params = 0;
        for (const zub::com::TypeData& t : lib.types)
            for (const zub::com::FuncData& f : t.funcs) params += f.params.size();
        for (const auto& [href, imp] : lib.imports) params += imp.libFile.size() + href;
        return params == static_cast<std::size_t>(-1) ? 1 : 0;
    } catch (const zub::com::TypeLibFormatError&) {
        return 0;
    }
}
