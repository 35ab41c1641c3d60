#include "ui/CMainDlg.h"
#include "ui/CMergeDlg.h"

namespace kelvora {

void CMainDlg::RunMergeDialog() {
    CMergeDlg dialog(m_shell, m_items, [this] { ShowHelp(); });
    m_shell.RunMergeDialog(dialog);
}

}  // namespace kelvora
