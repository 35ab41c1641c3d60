#pragma once

#include <functional>
#include <string>

namespace kelvora::test {

// A small file system mounted on `folder` for as long as the object lives, to fill a disk.
// Mounted() is false where this process may not mount (then the test skips).
class SmallDisk {
  public:
    SmallDisk(const std::string& folder, const std::string& size = "64k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return m_mounted; }

  private:
    std::string m_folder;
    bool m_mounted = false;
};

// Runs `body` in a child process as an unprivileged user (nobody), so that permission bits
// stop it as they stop a user; returns the body's result, or -1 when the child could not run.
// Without root the body runs as the current user, whom the bits stop anyway.
int RunUnprivileged(const std::function<int()>& body);

}  // namespace kelvora::test
