#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "ui/Shell.h"

namespace kelvora {

// "About Kelvora": the version, the update check, tell-a-friend and two links.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    // Controls that open links, by their identifiers.
    static constexpr int32_t kCheckForUpdates = 1022;
    static constexpr int32_t kTellAFriend = 1020;
    static constexpr int32_t kHomepageLink = 1011;
    static constexpr int32_t kSupportLink = 1013;

    AboutDialog(Shell& shell, QWidget* parent = nullptr);
    QWidget* Control(int32_t id) const;

  private:
    // A button opens its link under the wait cursor and ignores the result.
    void OpenFromButton(const std::string& target);

    Shell& m_shell;
    std::map<int32_t, QWidget*> m_controls;
};

}  // namespace kelvora
