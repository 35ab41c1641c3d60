#pragma once

#include <mutex>

namespace kelvora {

// LAME fills some process-wide tables when an encoder or decoder instance is made; instances
// made on several threads at once take turns here.
inline std::mutex& LameSetupMutex() {
    static std::mutex mutex;
    return mutex;
}

// LAME's decoder keeps process-wide tables that a decoder being set up or running on another
// thread disturbs (parallel conversions wrote other samples than one after another), so one MP3
// file is decoded at a time in the process: a decoder holds this from Open to Close. Taken
// before the set-up lock, never while a thread holds another decoder open.
inline std::mutex& LameDecodeMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace kelvora
