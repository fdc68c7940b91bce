// Real print jobs in the main window: a duplex job says so after the import, a job in another
// language is refused with its message and leaves nothing to export.
#include "MessageBox.h"
#include "frmMain.h"
#include "support/UiTestSupport.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kuvrion;
using kuvrion::test::ProgramFolder;

class TestRealJobs : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::SetAutoAnswer(true);
        MessageBox::TakeShown();
    }

    void duplexJobIsShownAfterTheImport()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        QByteArray duplex = kuvrion::test::SampleJob();
        duplex.replace("&l26A", "&l26a1S");
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), duplex));
        auto state = folder.NewState();
        frmMain main(*state);
        auto* pages = main.findChild<QLabel*>(QStringLiteral("labTotalPgs"));
        auto* caption = main.findChild<QLabel*>(QStringLiteral("labPgs"));

        QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("btnImport")),
                          Qt::LeftButton);
        QCOMPARE(pages->text() + ' ' + caption->text(), QStringLiteral("7 Seiten, Duplex"));

        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), kuvrion::test::SampleJob()));
        QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("btnImport")),
                          Qt::LeftButton);
        QCOMPARE(pages->text() + ' ' + caption->text(), QStringLiteral("7 Seiten"));
    }

    void pclXlJobIsRefused()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        folder.SetIni("files", "out", folder.PathUtf8(QStringLiteral("aus.pcl")));
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"),
                                 QByteArray("\x1b%-12345X@PJL ENTER LANGUAGE=PCLXL\r\n"
                                            ") HP-PCL XL;2;0\n\xd1\x0c\x0c Kd-Nr. 10001\x0c")));
        auto state = folder.NewState();
        frmMain main(*state);

        QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("btnImport")),
                          Qt::LeftButton);
        const auto shown = MessageBox::TakeShown();
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].text, QStringLiteral("Der Druckjob ist kein PCL-5-Druckjob (erkannt: PCL "
                                               "XL). Bitte im Druckertreiber PCL 5 wählen und "
                                               "erneut drucken."));
        QCOMPARE(shown[0].kind, MessageKind::Warning);
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("labTotalPgs"))->text(),
                 QStringLiteral("0"));
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("labTotalAdr"))->text(),
                 QStringLiteral("0"));
        QVERIFY(!main.findChild<QPushButton*>(QStringLiteral("btnExport"))->isEnabled());
        QVERIFY(!QFile::exists(folder.Path(QStringLiteral("aus.pcl"))));
    }
};

QTEST_MAIN(TestRealJobs)
#include "TestRealJobs.moc"
