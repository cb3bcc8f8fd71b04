#include <iostream>

#include "vaultapp.h"
#include "zub/i18n.h"

int main(int argc, char** argv) {
    zub::i18n::Init("vault");
    zub::vault::VaultApp app(std::cout, std::cerr);
    return app.Run(argc, argv);
}
