#include <clocale>
#include <iostream>

#include "vaultapp.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    VaultApp app(std::cout, std::cerr);
    return app.Run(argc, argv);
}
