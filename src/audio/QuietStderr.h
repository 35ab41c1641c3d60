#pragma once

namespace kelvora {

// libspeex writes its notifications about broken data ("notification: …") straight to the C
// library's stderr, and the core shows nothing on its own. While an object of this class lives,
// whatever the C library writes to stderr from this thread is dropped; other threads write as
// ever. A stream that knows which threads are quiet is put in front of stderr as the program
// starts.
class CQuietStderr {
  public:
    CQuietStderr();
    ~CQuietStderr();
    CQuietStderr(const CQuietStderr&) = delete;
    CQuietStderr& operator=(const CQuietStderr&) = delete;
};

}  // namespace kelvora
