#include <zub/i18n.h>

#include <iostream>

#include "zubcomapp.h"

int main(int argc, char** argv) {
    zub::i18n::Init("zubcom");
    return zub::zubcom::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
