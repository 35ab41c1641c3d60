#pragma once

namespace kelvora {

// The program: answers --help and --version, refuses a start without a display in one line,
// sets up the application, shows the main window over its core and runs until a close request
// ends the window. Paths on the command line are added as dropped files are; when the window is
// already open on this display, they are handed to it instead and this start ends.
class CConverterApp {
  public:
    int Run(int argc, char** argv);
};

}  // namespace kelvora
