// Program start: one running instance per user. A second start hands the job named on its command
// line to the running window (over a local socket) and raises it; the first locates the settings,
// takes an existing job named on the command line as the source and shows the main window.
#pragma once

#include "app/AppState.h"
#include "MainWindow.h"

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>

class QCoreApplication;
class QTranslator;

namespace kuvrion {

// What runs until the program ends. Destroyed in reverse order: the listener for later starts,
// the window, the state, the lock.
struct RunningProgram {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QLocalServer> server;
};

// The lock file that marks the running instance of this user: in the user's runtime folder, else
// in the temporary folder with the user's name in it.
QString DefaultLockPath();

// `arguments` are the command-line words after the program's name (a quoted path with blanks is
// one word). When another instance holds `lockPath`, hands it the job (the first word, made
// absolute; none raises its window only) and returns nothing, having read and written nothing
// else; when that instance does not answer, shows "Anwendung ist bereits geöffnet." instead. A lock
// left by a crashed instance is taken over. `iniOverride` (tests) names the settings file to use.
std::optional<RunningProgram> StartUp(const QStringList& arguments,
                                      const std::filesystem::path& programDir,
                                      const QString& lockPath,
                                      const std::filesystem::path& iniOverride = {});

// German texts for Qt's own dialogs and buttons, when the translations are installed. Null when
// none were found.
std::unique_ptr<QTranslator> LoadQtTranslations(QCoreApplication& app);

} // namespace kuvrion
