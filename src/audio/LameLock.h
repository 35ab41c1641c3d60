#pragma once

#include <mutex>

namespace kelvora {

// LAME fills some process-wide tables when an encoder or decoder instance is made; instances
// made on several threads at once take turns here.
inline std::mutex& LameSetupMutex() {
    static std::mutex mutex;
    return mutex;
}

// LAME's decoder keeps process-wide state that a decoder being set up or running on another
// thread disturbs (parallel conversions wrote other samples than one after another), so the
// process decodes one MP3 frame at a time: every call into the decoder holds this. Taken before
// the set-up lock.
inline std::mutex& LameDecodeMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace kelvora
