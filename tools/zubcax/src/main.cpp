#include <clocale>
#include <iostream>

#include "zubcaxapp.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return zub::zubcax::Run(argc, argv, std::cout, std::cerr);
}
