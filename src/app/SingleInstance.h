#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace kelvora {

// One window for a desktop session. The first start listens on a local socket in the user's
// runtime folder; a later start (the file manager's "Open with" starts one per file) hands its
// paths to that window over the socket and ends.
//
// The exchange: the window greets each connection with "KELVORA 1\n"; the later start then sends
// its paths, each in UTF-8 followed by a NUL byte, and one more NUL byte to end them; the window
// answers "OK\n" once it has taken them. A start that gets no greeting or no answer in time
// opens a window of its own, so a window that hangs or dies never holds another start up.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Role {
        Serving,     // this start is the window others hand their paths to
        HandedOver,  // the paths went to the window already open: this start ends
        Alone,       // no socket to share (or no answer): a window of its own, as before
    };
    struct Timeouts {
        int lockMs = 3000;     // to wait for another start deciding the same thing
        int connectMs = 1000;  // to reach the socket
        int answerMs = 5000;   // for the open window to greet, then to take the paths
    };

    // `socketPath` empty: nothing is shared, every start is Alone.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of the window on this display: "$XDG_RUNTIME_DIR/kelvora-DISPLAY.socket";
    // empty without a runtime folder of the user's own.
    static QString SocketPathFor(const QProcessEnvironment& environment);

    // Hands `paths` to the open window, or becomes the window others hand theirs to.
    Role Start(const QStringList& paths, const Timeouts& timeouts);
    Role Start(const QStringList& paths) { return Start(paths, Timeouts()); }

  signals:
    // Another start handed these paths over (possibly none: it only asks for the window).
    void PathsReceived(const QStringList& paths);

  private:
    bool HandOver(QLocalSocket& socket, const QStringList& paths, int answerMs);
    void Serve(QLocalSocket* connection);

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

}  // namespace kelvora
