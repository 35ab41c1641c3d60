#include "ui/CMergeDlg.h"
#include "ui/CMainDlg.h"

namespace kelvora {

void CMainDlg::RunMergeDialog() {
    CMergeDlg dialog(m_shell, m_items, [this] { ShowHelp(); });
    m_shell.RunMergeDialog(dialog);
}

}  // namespace kelvora
