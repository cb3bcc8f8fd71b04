// zubregsvr: registers or unregisters an in-process COM server by calling its
// DllRegisterServer or DllUnregisterServer, as regsvr32 does.
#include <zub/com/types.h>
#include <zub/i18n.h>
#include <zub/platform/error.h>
#include <zub/platform/module.h>
#include <zub/text.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to) {
    std::fputs(zub::tr("usage: zubregsvr [register|unregister|-u|/u] MODULE...\n"
                       "  Calls DllRegisterServer (default) or DllUnregisterServer of each "
                       "module.\n"),
               to);
}

int Run(const std::string& module, bool unregister) {
    namespace pf = zub::platform;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    pf::Library lib;
    if (pf::Error e = pf::LoadLibrary(zub::Utf8ToWide(module), lib); e != 0) {
        std::fputs(zub::trf("zubregsvr: cannot load %s: %s (error %u)\n", module.c_str(),
                            zub::WideToUtf8(zub::LibraryText(pf::ErrorText(e))).c_str(), e)
                       .c_str(),
                   stderr);
        return 3;
    }
    void* address = nullptr;
    if (pf::GetProcAddress(lib.Handle(), entry, address) != 0 || !address) {
        std::fputs(zub::trf("zubregsvr: %s has no %s\n", module.c_str(), entry).c_str(), stderr);
        return 4;
    }
    const HRESULT hr = reinterpret_cast<HRESULT (*)()>(address)();
    if (FAILED(hr)) {
        std::fputs(zub::trf("zubregsvr: %s of %s failed: %s (%s)\n", entry, module.c_str(),
                            zub::WideToUtf8(zub::LibraryText(zub::com::HResultText(hr))).c_str(),
                            zub::WideToUtf8(zub::com::HResultHex(hr)).c_str())
                       .c_str(),
                   stderr);
        return 5;
    }
    std::fputs(zub::trf("%s of %s succeeded.\n", entry, module.c_str()).c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    zub::i18n::Init("zubregsvr");
    bool unregister = false;
    std::vector<std::string> modules;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "register" && modules.empty()) {
            unregister = false;
        } else if ((arg == "unregister" && modules.empty()) || arg == "-u" || arg == "/u") {
            unregister = true;
        } else if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        } else {
            modules.push_back(arg);
        }
    }
    if (modules.empty()) {
        Usage(stderr);
        return 2;
    }
    int status = 0;
    for (const std::string& m : modules)
        if (int rc = Run(m, unregister); rc != 0 && status == 0) status = rc;
    return status;
}
