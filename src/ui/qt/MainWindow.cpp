#include "ui/qt/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "ui/qt/Controls.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/SortListView.h"
#include "ui/skin/CSkinButton.h"

namespace kelvora {

namespace {

// The local files of a drag's links; other links are not ours to take.
std::vector<std::string> LocalPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            QString path = url.toLocalFile();
            while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
                path.chop(1);
            }
            paths.push_back(path.toStdString());
        }
    }
    return paths;
}

}  // namespace

MainWindow::MainWindow(CMainDlg& dlg, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowSystemMenuHint),
      m_dlg(dlg),
      m_skin(LoadMainWindowSkin()) {
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowIcon(ProgramIcon());
    setPalette(SkinPalette());
    setFont(DialogFont());
    setFixedSize(kWidth, kHeight);
    setAcceptDrops(true);
    m_tooltipStyle = new TooltipDelayStyle(QApplication::style()->name());
    m_tooltipStyle->setParent(this);

    CreateControls();
    CreateShortcuts();
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget*, QWidget* now) { OnFocusChanged(now); });

    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.left() + (area.width() - kWidth) / 2, area.top() + (area.height() - kHeight) / 2);
    }
}

MainWindow::~MainWindow() {
    // The controls are destroyed after this body, moving the focus as they go: the window must
    // not hear of it once it is no longer a MainWindow.
    disconnect(m_focusWatch);
}

void MainWindow::Place(QWidget* control, int32_t id, const QRect& rect, const char* tooltip) {
    control->setGeometry(rect);
    m_controls[id] = control;
    if (tooltip) {
        control->setToolTip(QString::fromLatin1(tooltip));
        control->setStyle(m_tooltipStyle);
    }
}

void MainWindow::CreateControls() {
    m_sourceView = new SortListView(m_dlg.SourceListCtrl(), kSourceListId, this);
    m_outputView = new SortListView(m_dlg.OutputListCtrl(), kOutputListId, this);
    Place(m_sourceView, kSourceListId, QRect(138, 57, 480, 226), nullptr);
    Place(m_outputView, kOutputListId, QRect(138, 291, 480, 226), nullptr);
    // The skin's wells frame the lists.
    m_sourceView->setFrameShape(QFrame::NoFrame);
    m_outputView->setFrameShape(QFrame::NoFrame);

    struct ButtonSpec {
        int32_t id;
        const char* text;
        int y;
        const char* tooltip;
    };
    static const ButtonSpec kButtons[] = {
        {kCmdAddFiles, "&Add Files", 59, "Add SWF/FLV files"},
        {kCmdAddFolder, "Add &Folder", 104, "Search SWF/FLV files from a folder and add them"},
        {kCmdRemoveAll, "&Remove All", 150, "Remove all files"},
        {kCmdConvertAllToMp3, "Convert to &MP3", 195, "Convert all files to MP3 format"},
        {kCmdConvertAllToWav, "Convert to &WAV", 241, "Convert all files to WAV format"},
        {kCmdMergeMp3, "Mer&ge MP3", 286, "Merge multiple converted MP3 files into single one"},
    };
    MainWindowButtons skinned;
    std::vector<QWidget*> tabOrder = {m_sourceView, m_outputView};
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonSpec& spec = kButtons[i];
        CSkinButton* button = MakeCommandButton(QString::fromLatin1(spec.text), this);
        Place(button, spec.id, QRect(15, spec.y, 109, 27), spec.tooltip);
        const int32_t id = spec.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { RunButton(id); });
        tabOrder.push_back(button);
        skinned.commands[i] = button;
    }

    CSkinButton* link = MakeHomePageLink(this);
    Place(link, kCmdHomepage, QRect(14, 497, 113, 20), "Visit Kelvora Homepage");
    connect(link, &QAbstractButton::clicked, this, [this] { RunButton(kCmdHomepage); });
    skinned.homePageLink = link;

    struct CaptionSpec {
        int32_t id;
        CSkinButton* MainWindowButtons::*slot;
        int x;
        const char* tooltip;
    };
    static const CaptionSpec kCaptions[] = {
        {kCmdHelpButton, &MainWindowButtons::help, 545, "Help"},
        {kCmdMinimize, &MainWindowButtons::minimize, 569, "Minimize"},
        {kCmdClose, &MainWindowButtons::close, 593, "Close"},
    };
    for (const CaptionSpec& spec : kCaptions) {
        CSkinButton* button = MakeCaptionButton(this);
        Place(button, spec.id, QRect(spec.x, 5, 21, 21), spec.tooltip);
        const int32_t id = spec.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { RunButton(id); });
        skinned.*spec.slot = button;
    }
    // Fonts, colours, images, the cursor and the skin each button blends into.
    ApplyMainWindowSkin(m_skin, skinned);
    // The address in the skin's font may be wider than the place for the link.
    FitCaption(*link);

    for (size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(m_sourceView, &SortListView::UserSelectionChanged, this,
            [this] { m_dlg.OnSourceSelectionChanged(); });
    connect(m_sourceView, &SortListView::RowDoubleClicked, this, [this] {
        m_dlg.OnSourceDoubleClick();
        AfterCommand();
    });
    connect(m_outputView, &SortListView::RowDoubleClicked, this, [this] {
        m_dlg.OnOutputDoubleClick();
        AfterCommand();
    });
    connect(m_sourceView, &SortListView::ContextMenuAt, this,
            [this](const QPoint& pos) { ShowPopup(Popup::Source, pos); });
    connect(m_outputView, &SortListView::ContextMenuAt, this,
            [this](const QPoint& pos) { ShowPopup(Popup::Output, pos); });
}

void MainWindow::CreateShortcuts() {
    struct Accelerator {
        QKeyCombination keys;
        int32_t id;
    };
    // For the whole window, whichever control has the focus: Del removes the selected source
    // even from the output list.
    const Accelerator accelerators[] = {
        {Qt::CTRL | Qt::Key_O, kCmdAddFiles},
        {Qt::CTRL | Qt::Key_S, kCmdSaveAs},
        {QKeyCombination(Qt::Key_Delete), kCmdRemove},
        {Qt::SHIFT | Qt::Key_Delete, kCmdDeleteOutputs},
        {QKeyCombination(Qt::Key_F1), kCmdHelpTopics},
    };
    for (const Accelerator& a : accelerators) {
        auto* shortcut = new QShortcut(QKeySequence(a.keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int32_t id = a.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { RunCommand(id); });
    }
}

void MainWindow::Start() {
    m_dlg.Start();
    m_sourceView->Model().SyncColumns();
    m_outputView->Model().SyncColumns();
    m_sourceView->setFocus();
}

QWidget* MainWindow::Control(int32_t id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void MainWindow::RunButton(int32_t id) {
    if (!isEnabled()) {
        return;
    }
    if (id == kCmdHelpButton) {
        // The Help popup hangs from the caption button's bottom-left corner.
        QWidget* button = Control(kCmdHelpButton);
        ShowPopup(Popup::Help, button->mapToGlobal(QPoint(0, button->height())));
        return;
    }
    m_dlg.OnCommand(id);
    AfterCommand();
}

void MainWindow::RunCommand(int32_t id) {
    if (!isEnabled()) {
        return;
    }
    m_dlg.RunIfEnabled(id);
    AfterCommand();
}

void MainWindow::ShowPopup(Popup popup, const QPoint& globalPos) {
    if (!isEnabled()) {
        return;
    }
    std::unique_ptr<CIconMenu> menu =
        MakePopupMenu(m_dlg.PopupItems(popup), m_dlg.GetShell(), palette(), this);
    const int32_t id = CIconMenu::CommandIdOf(menu->exec(globalPos));
    menu.reset();
    if (id != 0) {
        RunCommand(id);
    }
}

void MainWindow::AfterCommand() {
    // Paths that waited while a window was modal over this one come in now.
    if (!QApplication::activeModalWidget()) {
        m_dlg.RunPending();
    }
    if (isEnabled() && isVisible()) {
        FollowFocusedList();
    }
}

void MainWindow::FollowFocusedList() {
    SortListView* target = m_dlg.FocusedList() == kSourceListId   ? m_sourceView
                           : m_dlg.FocusedList() == kOutputListId ? m_outputView
                                                                  : nullptr;
    if (target && !target->hasFocus()) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::OnFocusChanged(QWidget* now) {
    // Only a focus change inside this window says which list has the keyboard focus; leaving
    // the window for another one changes nothing.
    if (!now || now->window() != this) {
        return;
    }
    m_lastFocus = now;
    const auto within = [now](SortListView* view) {
        return now == view || view->isAncestorOf(now);
    };
    m_dlg.SetFocusedList(within(m_sourceView)   ? kSourceListId
                         : within(m_outputView) ? kOutputListId
                                                : 0);
}

void MainWindow::AddPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    // After what hands them is done (a drop finished with its source). An action under way, or
    // a window modal over this one, keeps the lists until it ends: the paths wait their turn.
    QTimer::singleShot(0, this, [this, paths] {
        m_dlg.HandPaths(paths, QApplication::activeModalWidget() != nullptr);
        AfterCommand();
    });
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintMainWindowBackground(painter, m_skin);
}

// Only a press on the window itself gets here: the controls take their own.
void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (!m_drag.Press(*this, *event)) {
        QWidget::mousePressEvent(event);
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    m_drag.Move(*this, *event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.Release(*event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // While a batch or an adding action runs the window is disabled: the close waits until the
    // window takes input again, so that no action is cut off halfway.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        // Disabling took the focus away; it comes back where it was, or to the list the core
        // names.
        if (isEnabled()) {
            if (m_lastFocus && m_dlg.FocusedList() == 0) {
                m_lastFocus->setFocus(Qt::OtherFocusReason);
            }
            FollowFocusedList();
        }
    }
    QWidget::changeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (isEnabled() && !LocalPaths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (isEnabled() && !LocalPaths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (!isEnabled() || paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop is finished with its source first; the files are read afterwards.
    AddPaths(paths);
}

}  // namespace kelvora
