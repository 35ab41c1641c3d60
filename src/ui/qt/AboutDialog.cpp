#include "ui/qt/AboutDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "engine/Version.h"
#include "ui/ShellHelpers.h"
#include "ui/qt/Controls.h"
#include "ui/qt/DialogUnits.h"
#include "ui/skin/MainWindowSkin.h"

namespace kelvora {

AboutDialog::AboutDialog(Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_shell(shell) {
    setWindowTitle(QStringLiteral("About Kelvora"));
    setFont(DialogFont());
    setFixedSize(DluX(279), DluY(127));

    auto* icon = new QLabel(this);
    icon->setGeometry(DluX(7), DluY(7), 32, 32);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));

    auto* version =
        new QLabel(QStringLiteral("Kelvora v%1 build %2")
                       .arg(QString::fromLatin1(kVersionNumber), QString::fromLatin1(kBuildNumber)),
                   this);
    version->setGeometry(DluRect(35, 8, 160, 8));
    QFont title = version->font();
    title.setBold(true);
    version->setFont(title);
    auto* notice1 = new QLabel(QStringLiteral("Takes the sound out of Flash media."), this);
    notice1->setGeometry(DluRect(35, 24, 160, 8));
    auto* notice2 = new QLabel(QStringLiteral("Copyright (C) Dastrel."), this);
    notice2->setGeometry(DluRect(35, 36, 160, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(DluRect(200, 7, 72, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* updates = new QPushButton(QStringLiteral("&Check for Updates"), this);
    updates->setGeometry(DluRect(200, 25, 72, 14));
    connect(updates, &QPushButton::clicked, this, [this] { OpenFromButton(UpdateCheckUrl()); });
    m_controls[kCheckForUpdates] = updates;

    auto* friendButton = new QPushButton(QStringLiteral("Tell a Friend"), this);
    friendButton->setGeometry(DluRect(200, 43, 72, 14));
    connect(friendButton, &QPushButton::clicked, this,
            [this] { OpenFromButton(TellAFriendUrl()); });
    m_controls[kTellAFriend] = friendButton;

    // The links sit apart at the foot of the box, under a rule.
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(DluRect(35, 91, 237, 2));

    const struct {
        int32_t id;
        const char* text;
        std::string target;
        double y;
    } links[] = {
        {kHomepageLink, "Visit Kelvora Homepage", HomePageUrl(), 99},
        {kSupportLink, "Feedback and Support", SupportMailUrl(), 112},
    };
    for (const auto& spec : links) {
        m_controls[spec.id] = MakeLink(shell, QString::fromLatin1(spec.text), spec.target,
                                       DluRect(35, spec.y, 150, 8), this);
    }
}

QWidget* AboutDialog::Control(int32_t id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void AboutDialog::OpenFromButton(const std::string& target) {
    OpenWithDesktop(m_shell, target, true);  // a message says so when nothing opens it
}

}  // namespace kelvora
