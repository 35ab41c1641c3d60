#pragma once

#include <QWidget>

class QTextBrowser;

namespace kelvora {

// "Kelvora Help": the program's help document in a window of its own. Esc and Ctrl+W close it;
// it frees itself once closed.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Kelvora Help";
    static constexpr const char* kDocument = "qrc:/help/index.html";

    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_browser; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTextBrowser* m_browser = nullptr;
};

}  // namespace kelvora
