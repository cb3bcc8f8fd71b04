#include "zubcomapp.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return zub::zubcom::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
