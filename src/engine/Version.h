#pragma once

namespace kelvora {

inline constexpr const char* kVersionNumber = "2.7";
inline constexpr const char* kBuildNumber = "218";
inline constexpr const char* kVersionText = "2.7 build 218";

}  // namespace kelvora
