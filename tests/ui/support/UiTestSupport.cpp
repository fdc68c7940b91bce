#include "UiTestSupport.h"

#include "ImageList.h"
#include "app/ProgramPaths.h"
#include "settings/IniAccess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
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

QString ProgramFolder::Ini(const char* section, const char* key, const char* missing) const
{
    IniAccess ini;
    ini.IniFile(PathUtf8(QStringLiteral("kuvrion.ini")));
    return QString::fromStdString(ini.ReadEntry(section, key, missing));
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
    state->paths = LocateProgramPaths(m_dir.path().toStdString());
    state->oIni.IniFile(state->paths.settingsFile.string());
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

QLineEdit* Field(const QObject& parent, const char* name)
{
    return Child<QLineEdit>(parent, name);
}

QString Text(const QObject& parent, const char* name)
{
    if (auto* label = parent.findChild<QLabel*>(QString::fromLatin1(name)))
        return label->text();
    return Field(parent, name)->text();
}

bool Enabled(const QObject& parent, const char* name)
{
    return Child<QWidget>(parent, name)->isEnabled();
}

void Click(const QObject& parent, const char* name)
{
    QTest::mouseClick(Child<QAbstractButton>(parent, name), Qt::LeftButton);
}

void Retype(QLineEdit* field, const QString& text, bool leave)
{
    field->clear();
    QTest::keyClicks(field, text);
    if (leave)
        Leave(field);
}

void Leave(QLineEdit* field)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &out);
}

} // namespace kuvrion::test
