#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kelvora {

// What the desktop program's command line asks for. The paths are absolute, made so against the
// current folder of the program that was started, in the order given.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QStringList paths;
    QString error;  // for UsageError: "unrecognized option '--x'"
};

// Reads `arguments` (the program's name first). --help and --version win over anything else;
// "--" ends the options. It needs no application object, so that --help and --version work
// without a display.
CommandLine ParseCommandLine(const QStringList& arguments);

// The texts printed for --help, --version ("kelvora (Kelvora) VERSION", as kelvora-cli prints
// it), a usage error and a start without a display; each ends with a newline.
QString HelpText();
QString VersionText();
QString UsageErrorText(const QString& error);
QString NoDisplayText();

// False when no display can be opened for certain: no platform is asked for (QT_QPA_PLATFORM
// or -platform) and neither DISPLAY (nor -display) nor WAYLAND_DISPLAY is set. A platform asked for
// by name is left to the toolkit to try.
bool MayOpenDisplay(const QStringList& arguments, const QProcessEnvironment& environment);

}  // namespace kelvora
