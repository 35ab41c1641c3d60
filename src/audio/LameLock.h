#pragma once

#include <mutex>

namespace kelvora {

// LAME fills some process-wide tables when an encoder or decoder instance is made; instances
// made on several threads at once take turns here. Encoding and decoding themselves run freely.
inline std::mutex& LameSetupMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace kelvora
