// The desktop program's start: its command line, the start without a display (the built program
// itself, with no display in its environment), and the hand-over of paths to the open window.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <future>

#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "engine/Version.h"
#include "gui/GuiSupport.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using namespace test;

QStringList Args(std::initializer_list<const char*> args) {
    QStringList out{QStringLiteral("kelvora")};
    for (const char* arg : args) {
        out << QString::fromUtf8(arg);
    }
    return out;
}

TEST(CommandLineTest, HelpAndVersionWinAndPathsBecomeAbsoluteInOrder) {
    EXPECT_EQ(ParseCommandLine(Args({"a.swf", "--version"})).action, CommandLine::Action::Version);
    EXPECT_EQ(ParseCommandLine(Args({"--bogus", "--help"})).action, CommandLine::Action::Help);
    EXPECT_EQ(ParseCommandLine(Args({"-help"})).action, CommandLine::Action::Help);
    EXPECT_TRUE(HelpText().startsWith(
        QStringLiteral("Usage: kelvora [--help] [--version] [FILE|FOLDER...]\n")));
    EXPECT_EQ(VersionText(),
              QStringLiteral("kelvora (Kelvora) %1\n").arg(QLatin1String(kVersionText)));

    const CommandLine bad = ParseCommandLine(Args({"a.swf", "--bogus=1"}));
    EXPECT_EQ(bad.action, CommandLine::Action::UsageError);
    EXPECT_EQ(UsageErrorText(bad.error),
              QStringLiteral("kelvora: unrecognized option '--bogus=1'\n"
                             "Try 'kelvora --help' for more information.\n"));

    // Made absolute against the current folder; "--" ends the options.
    const CommandLine run = ParseCommandLine(Args({"b.flv", "/x/a.swf", "--", "--help", "d/"}));
    EXPECT_EQ(run.action, CommandLine::Action::Run);
    const QString here = QDir::currentPath();
    EXPECT_EQ(run.paths,
              (QStringList{here + QStringLiteral("/b.flv"), QStringLiteral("/x/a.swf"),
                           here + QStringLiteral("/--help"), here + QStringLiteral("/d/")}));
}

TEST(CommandLineTest, OnlyAStartWithNothingToOpenADisplayWithIsRefusedBeforehand) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    EXPECT_FALSE(MayOpenDisplay(Args({"a.swf"}), env));
    EXPECT_TRUE(MayOpenDisplay(Args({"-platform", "offscreen"}), env));
    EXPECT_TRUE(MayOpenDisplay(Args({"--display", ":3"}), env));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        QProcessEnvironment with = env;
        with.insert(QString::fromLatin1(name), QStringLiteral("x"));
        EXPECT_TRUE(MayOpenDisplay(Args({}), with)) << name;
    }
}

// The built program, with no display in its environment.
struct Outcome {
    int status = -1;
    QByteArray out, err;
};
Outcome RunProgram(const QStringList& arguments, const QStringList& variables = {}) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char* sanitizer : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (own.contains(QLatin1String(sanitizer))) {
            env.insert(QLatin1String(sanitizer), own.value(QLatin1String(sanitizer)));
        }
    }
    for (const QString& v : variables) {
        env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KELVORA_APP_PATH), arguments);
    Outcome o;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return o;
    }
    o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    o.out = process.readAllStandardOutput();
    o.err = process.readAllStandardError();
    return o;
}

TEST(ProgramTest, WithoutADisplayItSaysSoInOneLineAndOnlyHelpAndVersionWork) {
    const QByteArray line = NoDisplayText().toUtf8();
    Outcome o = RunProgram({QStringLiteral("a.swf")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, line);
    // A platform asked for by name fails inside the toolkit: the same line, no abort.
    o = RunProgram({}, {QStringLiteral("QT_QPA_PLATFORM=xcb")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, line);

    o = RunProgram({QStringLiteral("--version")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, VersionText().toUtf8());
    o = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, HelpText().toUtf8());
    EXPECT_TRUE(o.err.isEmpty());

    // A usage error is told first, with or without a display; the toolkit's options are no
    // usage error.
    for (const QStringList& env : {QStringList{}, QStringList{"QT_QPA_PLATFORM=offscreen"}}) {
        o = RunProgram({QStringLiteral("--bogus")}, env);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.err.startsWith("kelvora: unrecognized option '--bogus'\n")) << o.err.data();
    }
    EXPECT_EQ(ParseCommandLine(Args({"-platform", "offscreen", "-reverse", "a.swf"})).action,
              CommandLine::Action::Run);
}

// A start of the program on the offscreen platform, its settings and runtime folder in `home`.
std::unique_ptr<QProcess> StartProgram(const TempDir& home) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(home.path()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home.File("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home.File("run")));
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char* sanitizer : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (own.contains(QLatin1String(sanitizer))) {
            env.insert(QLatin1String(sanitizer), own.value(QLatin1String(sanitizer)));
        }
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KELVORA_APP_PATH), {});
    return process;
}

void Stop(QProcess& process) {
    process.kill();
    process.waitForFinished(kPatienceMs);
}

// With the settings a new user has, every start opens its own window; with "Open files in the
// window already open" a later start hands over to the open window and ends.
TEST(ProgramTest, ASecondStartOpensItsOwnWindowUnlessOneWindowIsChosen) {
    TempDir home;
    std::filesystem::create_directories(home.File("run"));
    std::filesystem::permissions(home.File("run"), std::filesystem::perms::owner_all);
    const std::string socket =
        SingleInstance::SocketPathFor([&] {
            QProcessEnvironment env;
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home.File("run")));
            return env;
        }())
            .toStdString();
    ASSERT_FALSE(socket.empty());

    auto first = StartProgram(home);
    ASSERT_TRUE(first->waitForStarted(kPatienceMs));
    auto second = StartProgram(home);
    ASSERT_TRUE(second->waitForStarted(kPatienceMs));
    EXPECT_FALSE(second->waitForFinished(2000)) << "the second start runs a window of its own";
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(std::filesystem::exists(socket));
    Stop(*second);
    Stop(*first);

    std::filesystem::create_directories(home.File("config/Dastrel"));
    const std::string settings = "[Options]\nSingleWindow=true\nFirstRun=0\n";
    ASSERT_TRUE(WriteFileBytes(home.File("config/Dastrel/Kelvora.conf"),
                               Bytes(settings.begin(), settings.end())));
    first = StartProgram(home);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(socket); }, kPatienceMs));
    second = StartProgram(home);
    ASSERT_TRUE(second->waitForFinished(kPatienceMs));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    Stop(*first);
}

// A Unix socket nobody answers on: `listening` keeps it open (a window that hangs), otherwise
// it is left behind closed (a window that died).
class DeafSocket {
  public:
    DeafSocket(const std::string& path, bool listening) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        if (listening) {
            EXPECT_EQ(::listen(m_fd, 4), 0);
        } else {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~DeafSocket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

  private:
    int m_fd = -1;
};

// Starts the way a second program does, on a thread of its own while this one keeps the open
// window's event loop turning. The open window is given all the time a loaded machine may take
// to answer.
SingleInstance::Role StartAside(const QString& socket, const QStringList& paths,
                                int answerMs = 30000) {
    auto role = std::async(std::launch::async, [&] {
        SingleInstance later(socket);
        return later.Start(paths, {10000, 10000, answerMs});
    });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return role.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        60000));
    return role.get();
}

TEST(SingleInstanceTest, LaterStartsHandTheirPathsToTheFirstInOrder) {
    TempDir dir;
    const QString socket = QString::fromStdString(dir.File("k.socket"));
    SingleInstance first(socket);
    QSignalSpy received(&first, &SingleInstance::PathsReceived);
    ASSERT_EQ(first.Start({QStringLiteral("/own.swf")}), SingleInstance::Role::Serving);
    EXPECT_TRUE(received.isEmpty());  // its own paths are its own business

    const QStringList paths{QStringLiteral("/m/b.flv"), QStringLiteral("/m/ä a.swf"),
                            QStringLiteral("/m/a.swf")};
    EXPECT_EQ(StartAside(socket, paths), SingleInstance::Role::HandedOver);
    EXPECT_EQ(StartAside(socket, {}), SingleInstance::Role::HandedOver);  // only raises it
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received.at(0).at(0).toStringList(), paths);
    EXPECT_EQ(received.at(1).at(0).toStringList(), QStringList());
}

TEST(SingleInstanceTest, ADeadWindowsSocketIsTakenOverAndAHungWindowHoldsNoStartUp) {
    TempDir dir;
    const std::string dead = dir.File("dead.socket");
    DeafSocket left(dead, false);
    SingleInstance next(QString::fromStdString(dead));
    EXPECT_EQ(next.Start({}, {1000, 1000, 1000}), SingleInstance::Role::Serving);

    // A window that never greets holds a start up no longer than the answer time it is given.
    const std::string hung = dir.File("hung.socket");
    DeafSocket listening(hung, true);
    EXPECT_EQ(StartAside(QString::fromStdString(hung), {QStringLiteral("/a.swf")}, 300),
              SingleInstance::Role::Alone);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(hung)));  // still the hung one's

    EXPECT_EQ(SingleInstance(QString()).Start({}), SingleInstance::Role::Alone);
}

TEST(SingleInstanceTest, TheSocketLivesInTheUsersRuntimeFolderPerDisplay) {
    TempDir dir;
    QProcessEnvironment env;
    EXPECT_EQ(SingleInstance::SocketPathFor(env), QString());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File("none")));
    EXPECT_EQ(SingleInstance::SocketPathFor(env), QString());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.path()));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
    EXPECT_EQ(SingleInstance::SocketPathFor(env),
              QString::fromStdString(dir.File("kelvora-_0.socket")));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
    EXPECT_EQ(SingleInstance::SocketPathFor(env),
              QString::fromStdString(dir.File("kelvora-wayland-1.socket")));
}

}  // namespace
}  // namespace kelvora
