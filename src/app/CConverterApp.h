#pragma once

namespace kelvora {

// The program: sets up the application, shows the main window over its core and runs until a
// close request ends the window. Paths on the command line are added as dropped files are.
class CConverterApp {
  public:
    int Run(int argc, char** argv);
};

}  // namespace kelvora
