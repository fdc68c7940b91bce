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
using namespace kuvrion::test;
using namespace Qt::StringLiterals;

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
        ProgramFolder first, second;
        const QString lock = first.Path(u"kuvrion.lock"_s);
        auto running = StartUp({}, first.Dir(), lock);
        QVERIFY(running && running->window->isVisible());
        QVERIFY(MessageBox::TakeShown().empty());

        QVERIFY(second.WriteFile(u"Brief.pcl"_s, "x"));
        QVERIFY(!StartUp({second.Path(u"Brief.pcl"_s)}, second.Dir(), lock));
        const auto shown = MessageBox::TakeShown();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown.front().text, u"Anwendung ist bereits geöffnet."_s);
        QCOMPARE(shown.front().kind, MessageKind::Information);
        QCOMPARE(QDir(QString::fromStdString(second.Dir())).entryList(QDir::Files),
                 QStringList{u"Brief.pcl"_s});

        // Once the first one has ended, the program starts again.
        running.reset();
        QVERIFY(StartUp({}, second.Dir(), lock));
    }

    void lockOfACrashedInstanceIsTakenOver()
    {
        ProgramFolder folder;
        QProcess gone;
        gone.start(u"true"_s);
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(folder.WriteFile(u"kuvrion.lock"_s, QByteArray::number(pid) + "\nKuvrion\n" +
                                                        QSysInfo::machineHostName().toUtf8() +
                                                        "\n"));
        QVERIFY(StartUp({}, folder.Dir(), folder.Path(u"kuvrion.lock"_s)));
        QVERIFY(MessageBox::TakeShown().empty());
    }

    void jobOnTheCommandLineBecomesTheSource()
    {
        ProgramFolder folder;
        const QString job = folder.Path(u"Mein Ordner/Brief 1.pcl"_s);
        QVERIFY(folder.WriteFile(u"Mein Ordner/Brief 1.pcl"_s, "x"));
        {
            auto running = StartUp({job}, folder.Dir(), folder.Path(u"l"_s));
            QVERIFY(running);
            QCOMPARE(folder.Ini("files", "in"), job);
            QCOMPARE(Text(*running->window, "txtSrcFile"), job);
        }
        // A word that names no file leaves the source empty, says so, and the stored source stays.
        auto missing = StartUp({folder.Path(u"fehlt.pcl"_s)}, folder.Dir(), folder.Path(u"l"_s));
        QVERIFY(missing);
        QCOMPARE(Text(*missing->window, "txtSrcFile"), QString());
        const auto shown = MessageBox::TakeShown();
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown[0].text,
                 u"Die Datei wurde nicht gefunden: "_s + folder.Path(u"fehlt.pcl"_s));
        QCOMPARE(folder.Ini("files", "in"), job);
    }
};

QTEST_MAIN(TestStartUp)
#include "TestStartUp.moc"
