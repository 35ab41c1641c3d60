#include "ui/skin/CLinkStatic.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Shell.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

CLinkStatic::CLinkStatic(Shell& shell, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_shell(shell), m_pointer([] { return QCursor::pos(); }) {
    m_plainFont = font();
    m_underlinedFont = m_plainFont;
    m_underlinedFont.setUnderline(true);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    m_hoverTimer.setInterval(kHoverTimerMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] { CheckHover(); });
    SetTarget(QString());
}

void CLinkStatic::SetTarget(const QString& target) {
    m_target = target;
    if (text().isEmpty()) {
        setText(m_target);
    }
    setToolTip(m_target.isEmpty() ? text() : m_target);
    AdjustSize();
    update();
}

void CLinkStatic::SetText(const QString& text) {
    setText(text);
    SetTarget(m_target);
}

void CLinkStatic::SetColours(const QColor& link, const QColor& visited, const QColor& hover,
                             bool redraw) {
    m_linkColour = link;
    m_visitedColour = visited;
    if (hover.isValid()) {
        m_hoverColour = hover;
    }
    if (redraw) {
        update();
    }
}

void CLinkStatic::SetUnderline(int mode) {
    if (mode != m_underline) {
        m_underline = mode;
        update();
    }
}

void CLinkStatic::SetAdjustToText(bool adjust) {
    m_adjust = adjust;
    AdjustSize();
}

void CLinkStatic::SetVisited(bool visited) {
    m_visited = visited;
    update();
}

QColor CLinkStatic::CurrentColour() const {
    return m_hovering ? m_hoverColour : m_visited ? m_visitedColour : m_linkColour;
}

QFont CLinkStatic::CurrentFont() const {
    const bool underlined =
        m_underline == kUnderlineAlways || (m_underline == kUnderlineHover && m_hovering);
    return underlined ? m_underlinedFont : m_plainFont;
}

void CLinkStatic::AdjustSize() {
    if (!m_adjust) {
        return;
    }
    // Room for the text in the underlined font, the control's anchor kept where it is.
    const QSize needed = QFontMetrics(m_underlinedFont).size(Qt::TextSingleLine, text());
    const QRect old = geometry();
    QRect r(old.topLeft(), needed);
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignHCenter) {
        r.moveLeft(old.left() + (old.width() - needed.width()) / 2);
    } else if (align & Qt::AlignRight) {
        r.moveRight(old.right());
    }
    if (align & Qt::AlignVCenter) {
        r.moveTop(old.top() + (old.height() - needed.height()) / 2);
    }
    setGeometry(r);
}

void CLinkStatic::StartHover() {
    if (m_hovering) {
        return;
    }
    m_hovering = true;
    update();
    m_hoverTimer.start();
}

void CLinkStatic::EndHover() {
    m_hoverTimer.stop();
    if (m_hovering) {
        m_hovering = false;
        update();
    }
}

void CLinkStatic::CheckHover() {
    if (!rect().contains(mapFromGlobal(m_pointer()))) {
        EndHover();
    }
}

void CLinkStatic::Open() {
    EndHover();
    const QString target = m_target.isEmpty() ? text() : m_target;
    const int32_t code = OpenDocument(m_shell, target.toStdString());
    m_visited = code > 32;
    update();
    if (!m_visited) {
        m_shell.Beep();
        m_shell.MessageBox(LinkFailureReport(code), MessageIcon::Warning, MessageButtons::Ok);
    }
}

void CLinkStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The face of the window the link sits in (the button-face colour of a dialog).
    painter.fillRect(rect(), palette().color(backgroundRole()));
    painter.setFont(CurrentFont());
    painter.setPen(CurrentColour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void CLinkStatic::mouseMoveEvent(QMouseEvent* event) {
    StartHover();
    QLabel::mouseMoveEvent(event);
}

void CLinkStatic::enterEvent(QEnterEvent* event) {
    StartHover();
    QLabel::enterEvent(event);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CLinkStatic::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_plainFont = font();
        m_underlinedFont = m_plainFont;
        m_underlinedFont.setUnderline(true);
        AdjustSize();
    }
    QLabel::changeEvent(event);
}

}  // namespace kelvora
