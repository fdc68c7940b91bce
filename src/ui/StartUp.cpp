#include "StartUp.h"

#include "ImageList.h"
#include "MessageBox.h"
#include "UiHelpers.h"
#include "app/ProgramPaths.h"
#include "base/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

namespace kuvrion {

QString DefaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty() && QDir(folder).exists())
        return QDir(folder).filePath(QStringLiteral("kuvrion.lock"));
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty())
        user = QStringLiteral("user");
    return QDir(QDir::tempPath()).filePath(QStringLiteral("kuvrion-%1.lock").arg(user));
}

std::optional<RunningProgram> StartUp(const QStringList& arguments,
                                      const std::filesystem::path& programDir,
                                      const QString& lockPath,
                                      const std::filesystem::path& iniOverride)
{
    InitResources();
    RunningProgram program;
    program.lock = std::make_unique<QLockFile>(lockPath);
    // Only a running process keeps the lock; age alone never makes it stale.
    program.lock->setStaleLockTime(0);
    if (!program.lock->tryLock(0)) {
        MessageBox::Show(nullptr, QStringLiteral("Anwendung ist bereits geöffnet."),
                         MessageKind::Information);
        return std::nullopt;
    }

    QGuiApplication::setWindowIcon(ImageIcon(QStringLiteral("icon")));
    QGuiApplication::setDesktopFileName(QStringLiteral("kuvrion"));
    program.state = std::make_unique<AppState>();
    program.state->paths = LocateProgramPaths(programDir, iniOverride);
    program.state->oIni.IniFile(PathToUtf8(program.state->paths.settingsFile));
    program.window = std::make_unique<frmMain>(*program.state);

    program.window->show();
    // Shown first, so that a message about the file stands over the window.
    if (!arguments.isEmpty())
        program.window->commands().UseCommandLineFile(ToPath(arguments.constFirst()));
    return program;
}

std::unique_ptr<QTranslator> LoadQtTranslations(QCoreApplication& app)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    app.installTranslator(translator.get());
    return translator;
}

} // namespace kuvrion
