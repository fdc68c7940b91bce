#include "UiTestSupport.h"

#include "ImageList.h"
#include "app/ProgramPaths.h"
#include "base/Platform.h"
#include "settings/IniAccess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

namespace kuvrion::test {

ProgramFolder::ProgramFolder()
{
    InitResources();
}

QString ProgramFolder::Path(const QString& name) const
{
    return name.isEmpty() ? m_dir.path() : QDir(m_dir.path()).filePath(name);
}

bool ProgramFolder::WriteFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = Path(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ProgramFolder::ReadFile(const QString& name) const
{
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string ProgramFolder::Ini(const char* section, const char* key, const char* missing) const
{
    IniAccess ini;
    ini.IniFile(PathUtf8(QStringLiteral("kuvrion.ini")));
    return ini.ReadEntry(section, key, missing);
}

void ProgramFolder::SetIni(const char* section, const char* key, const std::string& value) const
{
    IniAccess ini;
    ini.IniFile(PathUtf8(QStringLiteral("kuvrion.ini")));
    ini.WriteEntry(section, key, value);
}

void ProgramFolder::SetSampleKey() const
{
    SetIni("keys", "adrkeybeg", "^Kd-Nr. ^");
    SetIni("keys", "adrkeyend", "^^");
    SetIni("keys", "adridlen", "5");
    SetIni("keys", "adrkeymode", "1");
}

std::unique_ptr<AppState> ProgramFolder::NewState() const
{
    auto state = std::make_unique<AppState>();
    state->paths = LocateProgramPaths(PathFromUtf8(m_dir.path().toStdString()));
    state->oIni.IniFile(PathToUtf8(state->paths.settingsFile));
    return state;
}

QByteArray SampleJob()
{
    const QByteArray esc(1, '\x1b');
    QByteArray job = esc + "E" + esc + "&l26A";
    const char* const ids[] = {"10001", "10001", "10001", "20417", "20417", "31800", "31800"};
    int n = 0;
    for (const char* id : ids) {
        if (n++ > 0)
            job += '\f';
        job += esc + "&a0v0H" + "Kd-Nr. " + id + "\r\nSeite " + QByteArray::number(n) + "\r\n";
    }
    job += '\f' + esc + "E";
    return job;
}

Headless::Headless(const ProgramFolder& folder)
    : state(folder.NewState()), commands(*state, reporter)
{
    commands.Load();
}

void OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < 5000)
            return;
        timer->stop();
        delete clock;
        timer->deleteLater();
        if (modal)
            action(modal);
    });
    timer->start(10);
}

} // namespace kuvrion::test
