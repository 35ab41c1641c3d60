#include "ui/qt/HelpWindow.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/qt/Resources.h"

namespace kelvora {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    InitResources();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(kTitle));
    resize(760, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);  // web and mail links go to the desktop's programs
    layout->addWidget(m_browser);
    m_browser->setSource(QUrl(QString::fromLatin1(kDocument)));
}

}  // namespace kelvora
