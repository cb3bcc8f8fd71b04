#include <zub/i18n.h>

#include <iostream>

#include "zubcaxapp.h"

int main(int argc, char** argv) {
    zub::i18n::Init("zubcax");
    return zub::zubcax::Run(argc, argv, std::cout, std::cerr);
}
