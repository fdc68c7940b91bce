#include "UiTestSupport.h"

#include "Desktop.h"
#include "MessageBox.h"
#include "app/ProgramPaths.h"
#include "settings/IniAccess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QStringList>
#include <QTimer>

namespace kuvrion::test {

namespace {

IniAccess SettingsOf(const ProgramFolder& folder)
{
    IniAccess ini;
    ini.IniFile(folder.Path(QStringLiteral("kuvrion.ini")).toStdString());
    return ini;
}

} // namespace

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
    return QString::fromStdString(SettingsOf(*this).ReadEntry(section, key, missing));
}

void ProgramFolder::SetIni(const char* section, const char* key, const std::string& value) const
{
    static_cast<void>(SettingsOf(*this).WriteEntry(section, key, value));
}

QString ProgramFolder::Section(const char* section) const
{
    IniAccess ini = SettingsOf(*this);
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

Headless::Headless(const ProgramFolder& folder) : state(folder.NewState()), session(*state, *this)
{
    session.Load();
}

void ResetHooks()
{
    Desktop::SetOpenFails(false);
    MessageBox::SetAutoAnswer(true);
    MessageBox::TakeShown();
    Desktop::SetRecording(true);
    Desktop::TakeCalls();
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

namespace {

class ShowWatcher : public QObject {
public:
    ShowWatcher(QWidget* widget, std::function<void()> action)
        : QObject(widget), m_action(std::move(action))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(qApp, m_action, Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

void OnShown(QWidget* widget, std::function<void()> action)
{
    new ShowWatcher(widget, std::move(action)); // owned by the widget, gone once it fired
}

QString Text(const QObject& parent, const char* name)
{
    if (auto* label = parent.findChild<QLabel*>(QString::fromLatin1(name)))
        return label->text();
    return Field(parent, name)->text();
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
