#include <zub/i18n.h>

#include <iostream>

#include "zubregapp.h"

int main(int argc, char** argv) {
    zub::i18n::Init("zubreg");
    return zub::zubreg::RunZubreg(argc, argv, std::cin, std::cout, std::cerr);
}
