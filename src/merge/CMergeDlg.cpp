#include "merge/CMergeDlg.h"

namespace kelvora {

CMergeDlg::CMergeDlg(Shell& shell, const SourceList& sources, std::function<void()> onHelp)
    : m_shell(shell), m_sources(sources), m_onHelp(std::move(onHelp)) {}

}  // namespace kelvora
