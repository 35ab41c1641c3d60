#include "ui/qt/MergeWindow.h"

#include <QPushButton>

#include "ui/qt/DialogUnits.h"
#include "ui/qt/SortListView.h"

namespace kelvora {

// A modal frame with a caption and the close box only.
MergeWindow::MergeWindow(CMergeDlg& dlg, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_dlg(dlg) {
    setWindowTitle(QStringLiteral("Merge MP3"));
    setFont(DialogFont());
    setFixedSize(DluX(389), DluY(274));

    m_mp3View = new SortListView(m_dlg.Mp3ListCtrl(), kMergeMp3List, this);
    m_mp3View->setGeometry(DluRect(7, 7, 316, 177));
    m_sourceView = new SortListView(m_dlg.SourceListCtrl(), kMergeSourceList, this);
    m_sourceView->setGeometry(DluRect(7, 187, 316, 81));

    struct ButtonSpec {
        int32_t id;
        const char* text;
        double y;
    };
    static const ButtonSpec kButtons[] = {
        {kMergeBtnMerge, "&Merge", 7},
        {kMergeBtnPlayMp3, "&Play MP3", 33},
        {kMergeBtnUp, "&Up", 60},
        {kMergeBtnDown, "&Down", 76},
        {kMergeBtnRemove, "&Remove", 102},
        {kMergeBtnRemoveAll, "R&emove All", 118},
        {kMergeBtnHelp, "&Help", 153},
        {kMergeBtnAddMp3, "&Add MP3", 187},
        {kMergeBtnAddAllMp3, "Add A&ll MP3", 203},
        {kMergeBtnPlaySource, "Play &SWF/FLV", 219},
        {kMergeBtnClose, "&Close", 253},
    };
    setTabOrder(m_mp3View, m_sourceView);
    QWidget* previous = m_sourceView;
    for (const ButtonSpec& spec : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(spec.text), this);
        button->setGeometry(DluRect(330, spec.y, 52, 14));
        button->setAutoDefault(false);
        const int32_t id = spec.id;
        connect(button, &QPushButton::clicked, this, [this, id] { Run(id); });
        m_buttons[id] = button;
        setTabOrder(previous, button);
        previous = button;
    }

    connect(m_mp3View, &SortListView::UserSelectionChanged, this, [this] {
        m_dlg.OnMp3SelectionChanged();
        Refresh();
    });
    connect(m_sourceView, &SortListView::UserSelectionChanged, this, [this] {
        m_dlg.OnSourceSelectionChanged();
        Refresh();
    });
    connect(m_mp3View, &SortListView::RowDoubleClicked, this, [this] {
        m_dlg.OnMp3DoubleClick();
        Refresh();
    });
    connect(m_sourceView, &SortListView::RowDoubleClicked, this, [this] {
        m_dlg.OnSourceDoubleClick();
        Refresh();
    });
    // A header click sorts the list and the list renumbers itself; the buttons follow.
    for (SortListView* view : {m_mp3View, m_sourceView}) {
        connect(&view->Model(), &SortListModel::RowsReset, this, [this] { Refresh(); });
    }
    Refresh();
}

QPushButton* MergeWindow::Button(int32_t id) const {
    const auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

void MergeWindow::Run(int32_t id) {
    m_dlg.OnCommand(id);
    Refresh();
}

void MergeWindow::Refresh() {
    for (const auto& [id, button] : m_buttons) {
        button->setEnabled(m_dlg.IsButtonEnabled(id));
    }
    if (m_dlg.TakeFocusRequest() == FocusRequest::Mp3List) {
        m_mp3View->setFocus(Qt::OtherFocusReason);
    }
    const int32_t row = m_dlg.TakeScrollRequest();
    if (row >= 0 && row < m_mp3View->Model().rowCount()) {
        m_mp3View->scrollTo(m_mp3View->Model().index(row, 0));
    }
    if (m_dlg.CloseRequested() && isVisible()) {
        QDialog::reject();
    }
}

void MergeWindow::reject() {
    Run(kMergeBtnClose);
}

void MergeWindow::mousePressEvent(QMouseEvent* event) {
    if (!m_drag.Press(*this, *event)) {
        QDialog::mousePressEvent(event);
    }
}

void MergeWindow::mouseMoveEvent(QMouseEvent* event) {
    m_drag.Move(*this, *event);
}

void MergeWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.Release(*event);
}

}  // namespace kelvora
