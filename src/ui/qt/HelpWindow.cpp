#include "ui/qt/HelpWindow.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/qt/Resources.h"

namespace kelvora {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    InitResources();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(kTitle));
    // Centred on the screen, and never larger than it.
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        resize(std::min(760, area.width() - 40), std::min(600, area.height() - 40));
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);  // web and mail links go to the desktop's programs
    layout->addWidget(m_browser);
    m_browser->setSource(QUrl(QString::fromLatin1(kDocument)));
}

// The document takes the keys it reads with (arrows, pages, Tab between links) and passes the
// others up to its window.
void HelpWindow::keyPressEvent(QKeyEvent* event) {
    const QKeyCombination key = event->keyCombination();
    if (key == QKeyCombination(Qt::Key_Escape) ||
        QKeySequence(key) == QKeySequence(Qt::CTRL | Qt::Key_W) ||
        event->matches(QKeySequence::Close)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kelvora
