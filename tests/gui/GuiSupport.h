#pragma once

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora::test {

// How long a test waits for what the toolkit does later (a window shown, a timer's work): only a
// guard against a hang, so that a loaded machine is never taken for a fault.
constexpr int kPatienceMs = 30000;

// Runs `inspect` on the popup menu once it is open, from inside its own event loop; the
// inspector chooses an item or closes the menu.
inline void WhenPopupOpens(std::function<void(QMenu&)> inspect) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, inspect] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            timer->stop();
            timer->deleteLater();
            inspect(*menu);
        }
    });
    timer->start();
}

// Chooses the item of a command in an open menu, as the keyboard does.
inline void Choose(QMenu& menu, int32_t id) {
    for (QAction* action : menu.actions()) {
        if (action->data().toInt() == id) {
            menu.setActiveAction(action);
        }
    }
    QTest::keyClick(&menu, Qt::Key_Return);
}

}  // namespace kelvora::test
