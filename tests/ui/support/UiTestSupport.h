// Shared helpers of the desktop program's tests: a fresh program folder per test (settings file,
// job files), the shared state and command layer over it, a sample job, controls found and driven
// by their object names, and a way to act on the next modal dialog.
#pragma once

#include "ImageList.h"
#include "app/AppState.h"
#include "app/Session.h"
#include "app/Messages.h"
#include "app/Reporter.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kuvrion::test {

// A temporary program folder; the settings file "kuvrion.ini" lies in it.
class ProgramFolder {
public:
    ProgramFolder() { InitResources(); }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    std::string Dir() const { return m_dir.path().toStdString(); }
    bool WriteFile(const QString& name, const QByteArray& bytes) const;
    QByteArray ReadFile(const QString& name) const;
    // A value of the settings file as stored; `missing` when the key is not there.
    QString Ini(const char* section, const char* key, const char* missing = "<missing>") const;
    void SetIni(const char* section, const char* key, const std::string& value) const;
    // Every entry of a section in file order, as "key=value;key=value".
    QString Section(const char* section) const;
    // A new shared state for this folder (settings file located as the program does).
    std::unique_ptr<AppState> NewState() const;

private:
    QTemporaryDir m_dir;
};

// A job of seven pages for the addressees 10001 (3 pages), 20417 (2) and 31800 (2), each page with
// "Kd-Nr. " and the ID.
QByteArray SampleJob();

// State and session without a window, for the dialogs.
struct Headless : Reporter {
    explicit Headless(const ProgramFolder& folder);

    std::unique_ptr<AppState> state;
    Session session;
};

// Message boxes answered and recorded, desktop calls recorded, both lists emptied.
void ResetHooks();

// The text `action` shows after a failure of that kind with that path.
inline QString Said(Action action, FailureKind what, const QString& path = {})
{
    return QString::fromStdString(MessageFor(action, Failure{what, 0, 0, path.toStdString()}).text);
}

// Runs `action` on the next modal widget as soon as it is shown (polls for 5 seconds).
void OnNextModal(std::function<void(QWidget*)> action);

// Runs `action` once, as the next event of the window's thread, after `widget` is next shown: a
// command on a worker thread waits for the window to show its busy state, so the action runs
// while the command is still at its start.
void OnShown(QWidget* widget, std::function<void()> action);

// The child of that object name (the test stops when there is none).
template <class T = QWidget> T* Child(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no control %s", name);
    return child;
}
inline QLineEdit* Field(const QObject& p, const char* name)
{
    return Child<QLineEdit>(p, name);
}
// The text of a label or a field.
QString Text(const QObject& parent, const char* name);
inline bool Enabled(const QObject& p, const char* name)
{
    return Child(p, name)->isEnabled();
}
inline void Click(const QObject& p, const char* name)
{
    QTest::mouseClick(Child<QAbstractButton>(p, name), Qt::LeftButton);
}
// Empties the field and types `text` key by key, then (with `leave`) moves the focus away.
void Retype(QLineEdit* field, const QString& text, bool leave = false);
void Leave(QLineEdit* field);

} // namespace kuvrion::test
