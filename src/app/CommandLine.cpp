#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

#include "engine/Version.h"

namespace kelvora {

namespace {

constexpr const char* kProgram = "kelvora";

// The argument as it was typed for an option the parser names without its dashes.
QString TypedOption(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QStringLiteral("--")) {
            break;
        }
        QString bare = arg;
        while (bare.startsWith(QLatin1Char('-'))) {
            bare.remove(0, 1);
        }
        if (arg.startsWith(QLatin1Char('-')) && bare.section(QLatin1Char('='), 0, 0) == name) {
            return arg;
        }
    }
    return QStringLiteral("--") + name;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-help" is "--help", not -h -e -l -p.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    // The toolkit's own options are known too, so that a usage error is told before any
    // display is opened; the toolkit takes them out of the arguments it hands on.
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
          "name", "title", "qmljsdebugger", "visual"}) {
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }
    const bool parsed = parser.parse(arguments);

    CommandLine out;
    if (parser.isSet(help)) {
        out.action = CommandLine::Action::Help;
    } else if (parser.isSet(version)) {
        out.action = CommandLine::Action::Version;
    } else if (!parsed) {
        out.action = CommandLine::Action::UsageError;
        const QStringList unknown = parser.unknownOptionNames();
        out.error = unknown.isEmpty() ? parser.errorText()
                                      : QStringLiteral("unrecognized option '%1'")
                                            .arg(TypedOption(arguments, unknown.front()));
    }
    for (const QString& path : parser.positionalArguments()) {
        out.paths << QFileInfo(path).absoluteFilePath();
    }
    return out;
}

QString HelpText() {
    return QStringLiteral(
               "Usage: %1 [--help] [--version] [FILE|FOLDER...]\n"
               "Take the sound out of Flash media: SWF movies and FLV videos, in a window.\n"
               "\n"
               "The SWF and FLV files given, and those in the folders given and below them, are\n"
               "added to the list of a new window, as if dropped on it. With the choice \"Open\n"
               "files in the window already open\" (Options), they go to the window already open\n"
               "instead, and it comes to the front.\n"
               "\n"
               "  --help     show this help and exit\n"
               "  --version  show the version and exit\n"
               "\n"
               "Without a display, use kelvora-cli.\n")
        .arg(QLatin1String(kProgram));
}

QString VersionText() {
    return QStringLiteral("%1 (Kelvora) %2\n")
        .arg(QLatin1String(kProgram), QLatin1String(kVersionText));
}

QString UsageErrorText(const QString& error) {
    return QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
        .arg(QLatin1String(kProgram), error);
}

QString NoDisplayText() {
    return QStringLiteral("%1: cannot open a display; for the command line use kelvora-cli\n")
        .arg(QLatin1String(kProgram));
}

bool MayOpenDisplay(const QStringList& arguments, const QProcessEnvironment& environment) {
    // The toolkit reads "-platform NAME" before QT_QPA_PLATFORM, and the X11 platform
    // "-display NAME" before DISPLAY (each with one dash or two).
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        if (arg.startsWith(QStringLiteral("--"))) {
            arg.remove(0, 1);
        }
        if (arg == QStringLiteral("-platform") || arg == QStringLiteral("-display")) {
            return true;
        }
    }
    auto set = [&](const char* name) { return !environment.value(QLatin1String(name)).isEmpty(); };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace kelvora
