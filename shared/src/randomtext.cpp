#include "zub/randomtext.h"

#include <random>

namespace zub {

std::string RandomText(std::size_t length) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text += alphabet[pick(device)];
    return text;
}

}  // namespace zub
