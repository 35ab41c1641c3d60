#pragma once

#include <functional>

#include "engine/Records.h"
#include "ui/Shell.h"

namespace kelvora {

// The "Merge MP3" window's state and commands, without a toolkit.
class CMergeDlg {
  public:
    // `sources`: the main window's source items in order; `onHelp`: the main window's Help.
    CMergeDlg(Shell& shell, const SourceList& sources, std::function<void()> onHelp);

  private:
    Shell& m_shell;
    const SourceList& m_sources;
    std::function<void()> m_onHelp;
};

}  // namespace kelvora
