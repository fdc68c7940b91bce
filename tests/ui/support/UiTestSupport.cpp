#include "UiTestSupport.h"

#include "ImageList.h"
#include "app/ProgramPaths.h"
#include "base/Platform.h"
#include "settings/IniAccess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QTimer>

namespace kuvrion::test {

ProgramFolder::ProgramFolder()
{
    InitResources();
}

bool ProgramFolder::WriteFile(const QString& name, const QByteArray& bytes) const
{
    QDir().mkpath(QFileInfo(Path(name)).path());
    QFile file(Path(name));
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
    ini.IniFile(Path(QStringLiteral("kuvrion.ini")).toStdString());
    return QString::fromStdString(ini.ReadEntry(section, key, missing));
}

void ProgramFolder::SetIni(const char* section, const char* key, const std::string& value) const
{
    IniAccess ini;
    ini.IniFile(Path(QStringLiteral("kuvrion.ini")).toStdString());
    ini.WriteEntry(section, key, value);
}

QString ProgramFolder::Section(const char* section) const
{
    IniAccess ini;
    ini.IniFile(Path(QStringLiteral("kuvrion.ini")).toStdString());
    std::vector<std::string> keys;
    QStringList entries;
    ini.GetKeys(section, keys);
    for (const std::string& key : keys)
        entries << QString::fromStdString(key + "=" + ini.ReadEntry(section, key));
    return entries.join(u';');
}

std::unique_ptr<AppState> ProgramFolder::NewState() const
{
    auto state = std::make_unique<AppState>();
    state->paths = LocateProgramPaths(Dir());
    return state;
}

QByteArray SampleJob()
{
    const QByteArray esc(1, '\x1b');
    QByteArray job = esc + "E" + esc + "&l26A";
    const char* const ids[] = {"10001", "10001", "10001", "20417", "20417", "31800", "31800"};
    for (int n = 1; n <= 7; ++n) {
        job += (n > 1 ? "\f" : "") + esc + "&a0v0HKd-Nr. " + ids[n - 1] + "\r\nSeite " +
               QByteArray::number(n) + "\r\n";
    }
    return job + '\f' + esc + "E";
}

Headless::Headless(const ProgramFolder& folder) : state(folder.NewState()), commands(*state, *this)
{
    commands.Load();
}

void OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock.elapsed() < 5000)
            return;
        timer->stop();
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
