// zubregsvr: registers or unregisters an in-process COM server by calling its
// DllRegisterServer or DllUnregisterServer, as regsvr32 does.
#include <zub/com/types.h>
#include <zub/platform/module.h>
#include <zub/text.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: zubregsvr [register|unregister|-u|/u] MODULE...\n"
    "  Calls DllRegisterServer (default) or DllUnregisterServer of each module.\n";

int Run(const std::string& module, bool unregister) {
    namespace pf = zub::platform;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    pf::Library lib;
    if (pf::Error e = pf::LoadLibrary(zub::Utf8ToWide(module), lib); e != 0) {
        std::fprintf(stderr, "zubregsvr: cannot load %s (error %u)\n", module.c_str(), e);
        return 3;
    }
    void* address = nullptr;
    if (pf::GetProcAddress(lib.Handle(), entry, address) != 0 || !address) {
        std::fprintf(stderr, "zubregsvr: %s has no %s\n", module.c_str(), entry);
        return 4;
    }
    const HRESULT hr = reinterpret_cast<HRESULT (*)()>(address)();
    if (FAILED(hr)) {
        std::fprintf(stderr, "zubregsvr: %s of %s failed: %s (%s)\n", entry, module.c_str(),
                     zub::WideToUtf8(zub::com::HResultText(hr)).c_str(),
                     zub::WideToUtf8(zub::com::HResultHex(hr)).c_str());
        return 5;
    }
    std::printf("%s of %s succeeded.\n", entry, module.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    std::vector<std::string> modules;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "register" && modules.empty()) {
            unregister = false;
        } else if ((arg == "unregister" && modules.empty()) || arg == "-u" || arg == "/u") {
            unregister = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            modules.push_back(arg);
        }
    }
    if (modules.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int status = 0;
    for (const std::string& m : modules)
        if (int rc = Run(m, unregister); rc != 0 && status == 0) status = rc;
    return status;
}
