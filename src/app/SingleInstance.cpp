#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <memory>

namespace kelvora {

namespace {

constexpr char kGreeting[] = "KELVORA 1\n";
constexpr char kAnswer[] = "OK\n";
// Far above any list of paths a desktop passes; a connection sending more is dropped.
constexpr qsizetype kMaxMessageBytes = 16 * 1024 * 1024;
// A connection that has not sent its paths by then is dropped.
constexpr int kConnectionLimitMs = 10000;

QByteArray EncodePaths(const QStringList& paths) {
    QByteArray message;
    for (const QString& path : paths) {
        message += path.toUtf8();
        message += '\0';
    }
    message += '\0';
    return message;
}

// The paths of a whole message, false while it is not whole yet. A path is never empty, so an
// empty entry ends the list.
bool DecodePaths(const QByteArray& message, QStringList& paths) {
    paths.clear();
    qsizetype start = 0;
    while (start < message.size()) {
        const qsizetype end = message.indexOf('\0', start);
        if (end < 0) {
            return false;
        }
        if (end == start) {
            return true;
        }
        paths << QString::fromUtf8(message.constData() + start, end - start);
        start = end + 1;
    }
    return false;
}

// Reads one line within the deadline; a line longer than the expected one is no answer.
bool ReadLine(QLocalSocket& socket, const QDeadlineTimer& deadline, const char* expected) {
    const qsizetype limit = qstrlen(expected);
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() >= limit ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readLine(limit + 1) == expected;
}

// Keeps a socket name's characters to letters, digits, '.', '-' and '_'.
QString SafeName(const QString& text) {
    QString out;
    for (const QChar c : text.left(40)) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_');
        out += plain ? c : QLatin1Char('_');
    }
    return out;
}

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::SocketPathFor(const QProcessEnvironment& environment) {
    // The runtime folder is the user's alone (mode 0700): no one else can reach the socket or
    // put one in its place. Anything less is not shared at all.
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    const QFileInfo folder(runtime);
    if (runtime.isEmpty() || !folder.isAbsolute() || !folder.isDir() ||
        folder.ownerId() != ::getuid()) {
        return {};
    }
    // One window per display: the same user may be logged in on two.
    QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty()) {
        display = environment.value(QStringLiteral("DISPLAY"));
    }
    const QString name = display.isEmpty()
                             ? QStringLiteral("kelvora.socket")
                             : QStringLiteral("kelvora-%1.socket").arg(SafeName(display));
    return folder.absoluteFilePath() + QLatin1Char('/') + name;
}

SingleInstance::Role SingleInstance::Start(const QStringList& paths, const Timeouts& timeouts) {
    if (m_socketPath.isEmpty()) {
        return Role::Alone;
    }
    // Two starts at once: the lock lets one decide (connect, or take the socket over) while the
    // other waits, then finds the first one listening. A lock whose holder died is taken over.
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(timeouts.lockMs);

    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (socket.waitForConnected(timeouts.connectMs)) {
        if (locked) {
            lock.unlock();
        }
        return HandOver(socket, paths, timeouts.answerMs) ? Role::HandedOver : Role::Alone;
    }
    // Only a socket that is missing, or that no one listens on any more (its window died), is
    // taken over; one that is merely slow to answer stays its window's.
    const QLocalSocket::LocalSocketError error = socket.error();
    if (!locked || (error != QLocalSocket::ServerNotFoundError &&
                    error != QLocalSocket::ConnectionRefusedError)) {
        return Role::Alone;
    }
    QLocalServer::removeServer(m_socketPath);
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        return Role::Alone;
    }
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = m_server->nextPendingConnection()) {
            Serve(connection);
        }
    });
    return Role::Serving;
}

bool SingleInstance::HandOver(QLocalSocket& socket, const QStringList& paths, int answerMs) {
    // The greeting shows that the window's event loop runs: only then are the paths sent, so a
    // window that hangs never takes them after this start has opened its own.
    const QDeadlineTimer deadline(answerMs);
    if (!ReadLine(socket, deadline, kGreeting)) {
        return false;
    }
    socket.write(EncodePaths(paths));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return ReadLine(socket, deadline, kAnswer);
}

void SingleInstance::Serve(QLocalSocket* connection) {
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    QTimer::singleShot(kConnectionLimitMs, connection, [connection] { connection->abort(); });
    auto received = std::make_shared<QByteArray>();
    connect(connection, &QLocalSocket::readyRead, this, [this, connection, received] {
        *received += connection->readAll();
        QStringList paths;
        if (received->size() > kMaxMessageBytes) {
            connection->abort();
            return;
        }
        if (!DecodePaths(*received, paths)) {
            return;
        }
        received->clear();
        connection->write(kAnswer);
        connection->disconnectFromServer();
        emit PathsReceived(paths);
    });
    connection->write(kGreeting);
}

}  // namespace kelvora
