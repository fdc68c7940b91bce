#include "StartUp.h"

#include "ImageList.h"
#include "MessageBox.h"
#include "UiHelpers.h"
#include "app/ProgramPaths.h"
#include "base/Platform.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocalSocket>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

namespace kuvrion {

namespace {

constexpr int kHandOverMs = 2000;
constexpr qint64 kLongestMessage = 64 * 1024; // a path, with room to spare

// The local socket of the instance that holds `lockPath`: named after the lock, so that the lock
// and the hand-over always belong together.
QString ServerName(const QString& lockPath)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(lockPath).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("kuvrion-") + QString::fromLatin1(hash.toHex().left(16));
}

// Sends the job (empty: none) as one UTF-8 line to the running instance; false when none answers.
bool HandOver(const QString& server, const QString& job)
{
    QLocalSocket socket;
    socket.connectToServer(server);
    if (!socket.waitForConnected(kHandOverMs))
        return false;
    socket.write(job.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(kHandOverMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

// Takes the jobs later starts hand over: one line each, at most kLongestMessage bytes.
std::unique_ptr<QLocalServer> Listen(const QString& name, MainWindow* window)
{
    auto server = std::make_unique<QLocalServer>();
    // This instance holds the lock: a socket of the name is left over from one that crashed.
    QLocalServer::removeServer(name);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name))
        return nullptr; // later starts then say that the program is open, as they always did
    QLocalServer* listener = server.get();
    QObject::connect(listener, &QLocalServer::newConnection, window, [listener, window] {
        while (QLocalSocket* client = listener->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            const auto take = [client, window] {
                if (client->canReadLine()) {
                    QByteArray line = client->readLine(kLongestMessage);
                    line.chop(line.endsWith('\n') ? 1 : 0);
                    client->disconnectFromServer();
                    window->TakeJobFromOtherStart(QString::fromUtf8(line));
                } else if (client->bytesAvailable() > kLongestMessage) {
                    client->abort();
                }
            };
            QObject::connect(client, &QLocalSocket::readyRead, window, take);
            take(); // what arrived before the connection was made
        }
    });
    return server;
}

} // namespace

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
        const QString job =
            arguments.isEmpty() ? QString() : QFileInfo(arguments.constFirst()).absoluteFilePath();
        if (!HandOver(ServerName(lockPath), job))
            MessageBox::Show(nullptr, QStringLiteral("Anwendung ist bereits geöffnet."),
                             MessageKind::Information);
        return std::nullopt;
    }

    QGuiApplication::setWindowIcon(ImageIcon(QStringLiteral("icon")));
    QGuiApplication::setDesktopFileName(QStringLiteral("kuvrion"));
    program.state = std::make_unique<AppState>();
    program.state->paths = LocateProgramPaths(programDir, iniOverride);
    program.state->ini.IniFile(PathToUtf8(program.state->paths.settingsFile));
    program.window = std::make_unique<MainWindow>(*program.state);

    program.window->show();
    program.server = Listen(ServerName(lockPath), program.window.get());
    // Shown first, so that a message about the file stands over the window.
    if (!arguments.isEmpty())
        program.window->UseCommandLineFile(ToPath(arguments.constFirst()));
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
