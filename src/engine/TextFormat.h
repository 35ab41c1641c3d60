#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora {

// printf into a std::string (the program's texts are printf formats).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The length of the well-formed UTF-8 sequence at the start of `text` (no overlong forms,
// surrogates or code points past U+10FFFF); 0 when there is none.
size_t Utf8SequenceLength(std::string_view text);
bool IsUtf8(std::string_view text);
// The text with every byte that starts no well-formed sequence replaced by U+FFFD.
std::string ToValidUtf8(std::string_view text);
// Windows-1252 bytes as UTF-8; the five bytes the code page leaves undefined become U+FFFD.
std::string Windows1252ToUtf8(std::string_view text);
// A string of a movie as UTF-8: version 6 and later write UTF-8, older ones the author's ANSI
// code page, read as Windows-1252 when the bytes are not UTF-8 already.
std::string MovieText(std::string_view bytes, uint16_t version);

}  // namespace kelvora
