#include <iostream>

#include "zubregapp.h"

int main(int argc, char** argv) {
    return zub::zubreg::RunZubreg(argc, argv, std::cin, std::cout, std::cerr);
}
