#pragma once

#include <string>

namespace kelvora {

// printf into a std::string (the program's texts are printf formats).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kelvora
