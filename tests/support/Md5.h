#pragma once

#include <string>

#include "support/Bytes.h"

namespace kelvora::test {

// The MD5 digest of bytes as 32 lower-case hex digits (the corpus lists payload digests).
std::string Md5Hex(const Bytes& data);

}  // namespace kelvora::test
