// Program start: one instance per user, the job named on the command line.
#include "MessageBox.h"
#include "StartUp.h"
#include "support/UiTestSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

using namespace kuvrion;
using kuvrion::test::ProgramFolder;

class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::SetAutoAnswer(true);
        MessageBox::TakeShown();
    }

    void secondInstanceIsRefusedWithoutTouchingAnything()
    {
        ProgramFolder locks;
        ProgramFolder first;
        ProgramFolder second;
        const QString lock = locks.Path(QStringLiteral("kuvrion.lock"));
        auto running = StartUp({}, first.PathUtf8({}), lock);
        QVERIFY(running.has_value());
        QVERIFY(running->window->isVisible());
        QVERIFY(MessageBox::TakeShown().empty());

        QVERIFY(second.WriteFile(QStringLiteral("Brief.pcl"), "x"));
        auto refused =
            StartUp({second.Path(QStringLiteral("Brief.pcl"))}, second.PathUtf8({}), lock);
        QVERIFY(!refused.has_value());
        const auto shown = MessageBox::TakeShown();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown.front().text, QStringLiteral("Anwendung ist bereits geöffnet."));
        QCOMPARE(shown.front().kind, MessageKind::Information);
        QCOMPARE(QDir(second.Path()).entryList(QDir::Files), QStringList{"Brief.pcl"});

        // Once the first one has ended, the program starts again.
        running.reset();
        QVERIFY(StartUp({}, second.PathUtf8({}), lock).has_value());
    }

    void lockOfACrashedInstanceIsTakenOver()
    {
        ProgramFolder folder;
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QByteArray stale =
            QByteArray::number(pid) + "\nKuvrion\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        QVERIFY(folder.WriteFile(QStringLiteral("kuvrion.lock"), stale));
        auto running =
            StartUp({}, folder.PathUtf8({}), folder.Path(QStringLiteral("kuvrion.lock")));
        QVERIFY(running.has_value());
        QVERIFY(MessageBox::TakeShown().empty());
    }

    void jobOnTheCommandLineBecomesTheSource()
    {
        ProgramFolder folder;
        const QString job = folder.Path(QStringLiteral("Mein Ordner/Brief 1.pcl"));
        QVERIFY(folder.WriteFile(QStringLiteral("Mein Ordner/Brief 1.pcl"), "x"));
        {
            auto running = StartUp({job}, folder.PathUtf8({}), folder.Path(QStringLiteral("l")));
            QVERIFY(running.has_value());
            QCOMPARE(folder.Ini("files", "in"), job);
            QCOMPARE(running->window->findChild<QLineEdit*>(QStringLiteral("txtSrcFile"))->text(),
                     job);
        }
        // A word that names no file leaves the stored source alone.
        auto running = StartUp({folder.Path(QStringLiteral("fehlt.pcl"))}, folder.PathUtf8({}),
                               folder.Path(QStringLiteral("l")));
        QVERIFY(running.has_value());
        QCOMPARE(folder.Ini("files", "in"), job);
    }
};

QTEST_MAIN(TestStartUp)
#include "TestStartUp.moc"
