// The main window driven as a user would: menu items and buttons, file dialogs and message boxes
// answered through their test hooks, the settings file read back afterwards.
#include "Desktop.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "frmMain.h"
#include "support/UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace kuvrion;
using kuvrion::test::ProgramFolder;

namespace {

struct Window {
    explicit Window(const ProgramFolder& folder)
        : state(folder.NewState()), main(std::make_unique<frmMain>(*state))
    {
    }
    template <class T> T* Find(const char* name) const
    {
        return main->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    void Leave(QLineEdit* field) const
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &out);
    }

    std::unique_ptr<AppState> state;
    std::unique_ptr<frmMain> main;
};

QColor TextColour(const QLineEdit* field)
{
    return field->palette().color(QPalette::Text);
}

const QColor kRed(255, 0, 0);

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::SetAutoAnswer(true);
        MessageBox::TakeShown();
        Desktop::SetRecording(true);
        Desktop::TakeCalls();
    }

    void emptySettingsOpenCentredWithCommandsOff()
    {
        ProgramFolder folder;
        Window w(folder);
        for (const char* name : {"mnuDI", "mnuDE", "mnuDM", "mnuDPS", "mnuDLA", "mnuHW"})
            QVERIFY2(!w.Action(name)->isEnabled(), name);
        for (const char* name : {"btnImport", "btnExport"})
            QVERIFY2(!w.Find<QPushButton>(name)->isEnabled(), name);
        QVERIFY(!w.Find<QToolButton>("btnImpInfo")->isEnabled());
        QVERIFY(w.Action("mnuDF")->isEnabled());
        QVERIFY(w.Find<QLineEdit>("txtSrcFile")->text().isEmpty());
        QCOMPARE(TextColour(w.Find<QLineEdit>("txtSrcFile")), kRed);
        QCOMPARE(TextColour(w.Find<QLineEdit>("txtDstFile")), kRed);

        const QRect screen = w.main->screen()->geometry();
        const QSize size = w.main->frameGeometry().size();
        QCOMPARE(w.main->pos(), QPoint(screen.x() + (screen.width() - size.width()) / 2,
                                       screen.y() + (screen.height() - size.height()) / 2));
        QCOMPARE(w.Find<QLabel>("labStatus")->text(), QStringLiteral("Bereit"));
    }

    void sourceAndDestinationRules()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), kuvrion::test::SampleJob()));
        Window w(folder);

        FileDialog::SetNextFileName(folder.Path(QStringLiteral("Brief.pcl")), 2);
        QTest::mouseClick(w.Find<QToolButton>("btnSrcFile"), Qt::LeftButton);
        QCOMPARE(FileDialog::LastRequest().title, QStringLiteral("Quelldatei wählen"));
        QCOMPARE(FileDialog::LastRequest().filterIndex, 1);
        QVERIFY(FileDialog::LastRequest().mustExist);
        QCOMPARE(folder.Ini("files", "in"), folder.PathUtf8(QStringLiteral("Brief.pcl")));
        QCOMPARE(folder.Ini("files", "infilt"), std::string("2"));
        auto* src = w.Find<QLineEdit>("txtSrcFile");
        QCOMPARE(src->text(), folder.Path(QStringLiteral("Brief.pcl")));
        QCOMPARE(TextColour(src), QApplication::palette(src).color(QPalette::ButtonText));
        QVERIFY(w.Action("mnuDI")->isEnabled());
        QVERIFY(w.Find<QPushButton>("btnImport")->isEnabled());

        // Cancelling changes nothing; the next dialog starts with the stored filter index.
        FileDialog::SetNextCancel();
        w.Action("mnuDF")->trigger();
        QCOMPARE(FileDialog::LastRequest().filterIndex, 2);
        QCOMPARE(src->text(), folder.Path(QStringLiteral("Brief.pcl")));

        // A destination that is the source in other letters is refused; a missing folder too.
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("BRIEF.PCL")));
        w.Action("mnuDU")->trigger();
        QCOMPARE(FileDialog::LastRequest().title, QStringLiteral("Zieldatei wählen"));
        QVERIFY(FileDialog::LastRequest().save);
        QCOMPARE(TextColour(w.Find<QLineEdit>("txtDstFile")), kRed);
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("fehlt/aus.pcl")));
        QTest::mouseClick(w.Find<QToolButton>("btnDstFile"), Qt::LeftButton);
        QCOMPARE(TextColour(w.Find<QLineEdit>("txtDstFile")), kRed);
        QCOMPARE(folder.Ini("files", "out"), folder.PathUtf8(QStringLiteral("fehlt/aus.pcl")));
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("aus.pcl")));
        w.Action("mnuDU")->trigger();
        QCOMPARE(TextColour(w.Find<QLineEdit>("txtDstFile")),
                 QApplication::palette().color(QPalette::ButtonText));
        QVERIFY(!w.Action("mnuDE")->isEnabled()); // nothing imported yet
    }

    void importThenExportThroughTheWindow()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), kuvrion::test::SampleJob()));
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        Window w(folder);
        w.main->show();

        QTest::mouseClick(w.Find<QPushButton>("btnImport"), Qt::LeftButton);
        QVERIFY(w.main->isEnabled());
        QCOMPARE(w.Find<QLabel>("labTotalPgs")->text(), QStringLiteral("7"));
        QCOMPARE(w.Find<QLabel>("labTotalAdr")->text(), QStringLiteral("3"));
        auto* count = w.Find<QLineEdit>("txtExpAdr");
        QCOMPARE(count->text(), QStringLiteral("3"));
        QVERIFY(w.Action("mnuDM")->isEnabled());
        QVERIFY(w.Find<QToolButton>("btnImpInfo")->isEnabled());
        QVERIFY(w.Action("mnuDPS")->isEnabled());
        QCOMPARE(w.Find<QLabel>("labStatus")->text(), QStringLiteral("Bereit"));
        QVERIFY(MessageBox::TakeShown().empty()); // no fault, so no status dialog either

        FileDialog::SetNextFileName(folder.Path(QStringLiteral("aus.pcl")));
        w.Action("mnuDU")->trigger();
        QVERIFY(w.Find<QPushButton>("btnExport")->isEnabled());
        count->clear();
        QTest::keyClicks(count, QStringLiteral("2"));
        QCOMPARE(w.state->nExportCount, 2);
        QTest::mouseClick(w.Find<QPushButton>("btnExport"), Qt::LeftButton);
        const auto shown = MessageBox::TakeShown();
        QCOMPARE(shown.size(), std::size_t(1));
        QVERIFY(shown.front().text.startsWith(QStringLiteral("Export wurde durchgeführt\r\n")));
        QVERIFY(shown.front().text.endsWith(QStringLiteral("geprüft: keine Fehler")));
        // The first two addressees: five pages, each ended by a form feed.
        const QByteArray out = folder.ReadFile(QStringLiteral("aus.pcl"));
        QVERIFY(out.contains("Seite 5"));
        QVERIFY(!out.contains("Seite 6"));
        QVERIFY(!out.contains("Kd-Nr. 10001")); // the key is blanked by default
        QCOMPARE(out.count('\f'), 5);
        QVERIFY(w.main->isEnabled());
        QVERIFY(!QApplication::overrideCursor());

        // "Export prüfen...": the export passes, the unmarked source does not.
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("aus.pcl")));
        w.Action("mnuDV")->trigger();
        QCOMPARE(MessageBox::TakeShown().front().text,
                 QStringLiteral("5 Blätter, 2 Kuverts geprüft: keine Fehler"));
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("Brief.pcl")));
        w.Action("mnuDV")->trigger();
        const auto unmarked = MessageBox::TakeShown();
        QCOMPARE(unmarked.front().kind, MessageKind::Warning);
        QVERIFY(unmarked.front().text.contains(QStringLiteral("Blatt 1: kein OME-Code")));

        // "Nachdruck...": envelope 3 alone into its own file.
        QTimer::singleShot(0, [&folder] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->objectName() == QStringLiteral("frmReprint"));
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("lstEnvelopes"));
            QCOMPARE(list->count(), 3);
            list->item(2)->setSelected(true);
            dialog->findChild<QLineEdit*>(QStringLiteral("txtDstFile"))
                ->setText(folder.Path(QStringLiteral("nach.pcl")));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")),
                              Qt::LeftButton);
        });
        w.Action("mnuDN")->trigger();
        QVERIFY(MessageBox::TakeShown().front().text.endsWith(
            QStringLiteral("1 Kuvert geprüft: keine Fehler")));
        QVERIFY(folder.ReadFile(QStringLiteral("nach.pcl")).contains("Seite 6"));
        QVERIFY(!folder.ReadFile(QStringLiteral("nach.pcl")).contains("Seite 5"));
        QCOMPARE(w.state->cfg.sDstFile, folder.PathUtf8(QStringLiteral("aus.pcl")));

        // The escape skeleton through its file dialog.
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("skel.txt")));
        w.Action("mnuDPS")->trigger();
        QCOMPARE(FileDialog::LastRequest().title, QStringLiteral("Esc-Skelett speichern unter..."));
        QCOMPARE(FileDialog::LastRequest().fileName, folder.Path(QStringLiteral("skel.txt")));
        QCOMPARE(MessageBox::TakeShown().front().text,
                 QStringLiteral("Esc-Skelett wurde gespeichert."));
        QCOMPARE(folder.ReadFile(QStringLiteral("skel.txt")).size(),
                 kuvrion::test::SampleJob().size());
    }

    void importWithFaultsOpensTheStatusDialog()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        // The first page has no key: it cannot be assigned.
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"),
                                 "Anschreiben\fKd-Nr. 10001\r\n\fKd-Nr. 10002\r\n\f"));
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        Window w(folder);
        w.main->show();
        QString opened;
        QString assigned;
        kuvrion::test::OnNextModal([&](QWidget* dialog) {
            opened = dialog->objectName();
            assigned = dialog->findChild<QLabel*>(QStringLiteral("labPgs_4"))->text();
            static_cast<QDialog*>(dialog)->accept();
        });
        w.Action("mnuDI")->trigger();
        QCOMPARE(opened, QStringLiteral("frmImpInfo"));
        QCOMPARE(assigned, QStringLiteral("2"));
        QVERIFY(w.main->isEnabled());
    }

    void busyDisablesTheWindow()
    {
        ProgramFolder folder;
        Window w(folder);
        w.main->SetBusy(true);
        QVERIFY(!w.main->isEnabled());
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        w.main->SetBusy(false);
        QVERIFY(w.main->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }

    void exportCountIsBoundedOnLeaving()
    {
        ProgramFolder folder;
        folder.SetSampleKey();
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), kuvrion::test::SampleJob()));
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        Window w(folder);
        auto* count = w.Find<QLineEdit>("txtExpAdr");

        // Without addressees any entry becomes 1; letters never get in.
        QTest::keyClicks(count, QStringLiteral("7x"));
        QCOMPARE(count->text(), QStringLiteral("7"));
        w.Leave(count);
        QCOMPARE(count->text(), QStringLiteral("1"));

        w.Action("mnuDI")->trigger();
        count->clear();
        QTest::keyClicks(count, QStringLiteral("0"));
        w.Leave(count);
        QCOMPARE(count->text(), QStringLiteral("1"));
        QCOMPARE(w.state->nExportCount, 1);
        count->clear();
        QTest::keyClicks(count, QStringLiteral("9"));
        w.Leave(count);
        QCOMPARE(count->text(), QStringLiteral("3"));
        QCOMPARE(w.state->nExportCount, 3);
    }

    void droppedFilesUseTheFirstOnly()
    {
        ProgramFolder folder;
        QVERIFY(folder.WriteFile(QStringLiteral("eins.pcl"), "x"));
        QVERIFY(folder.WriteFile(QStringLiteral("zwei.pcl"), "y"));
        Window w(folder);

        QMimeData text;
        text.setText(QStringLiteral("nur Text"));
        QDragEnterEvent enterText(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                                  Qt::NoModifier);
        QApplication::sendEvent(w.main.get(), &enterText);
        QVERIFY(!enterText.isAccepted());

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(folder.Path(QStringLiteral("eins.pcl"))),
                       QUrl::fromLocalFile(folder.Path(QStringLiteral("zwei.pcl")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(w.main.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.main.get(), &drop);
        QCOMPARE(folder.Ini("files", "in"), folder.PathUtf8(QStringLiteral("eins.pcl")));
        QCOMPARE(w.Find<QLineEdit>("txtSrcFile")->text(), folder.Path(QStringLiteral("eins.pcl")));
    }

    void positionAndLogSwitchStoredOnClosing()
    {
        ProgramFolder folder;
        {
            Window w(folder);
            w.main->move(100, 80);
            w.main->show();
            QVERIFY(!w.Action("mnuDLB")->isChecked());
            w.Action("mnuDLB")->trigger();
            QVERIFY(w.Action("mnuDLB")->isChecked());
            w.main->close();
            const QScreen* screen = w.main->screen();
            const auto twips = [](int px, qreal dpi) {
                return std::to_string(std::lround(px * 1440.0 / dpi));
            };
            QCOMPARE(folder.Ini("common", "winmainpos"),
                     twips(100, screen->logicalDotsPerInchX()) + "," +
                         twips(80, screen->logicalDotsPerInchY()));
            QCOMPARE(folder.Ini("common", "uselog"), std::string("1"));
        }
        Window again(folder);
        QCOMPARE(again.main->pos(), QPoint(100, 80));
        QVERIFY(again.Action("mnuDLB")->isChecked());
        // A maximised window stores where its normal window stands.
        again.main->show();
        again.main->showMaximized();
        QTRY_VERIFY(again.main->isMaximized());
        again.main->close();
        Window third(folder);
        QCOMPARE(third.main->pos(), QPoint(100, 80));

        // A position no screen shows any more is not used: the window is centred instead.
        folder.SetIni("common", "winmainpos", "-900000,-900000");
        Window lost(folder);
        QVERIFY(lost.main->screen()->geometry().contains(lost.main->pos()));
    }

    void statusLineReadsCurrentOfTotal()
    {
        ProgramFolder folder;
        Window w(folder);
        w.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
        auto* act = w.Find<QLabel>("labStatAct");
        auto* von = w.Find<QLabel>("labStatVon");
        auto* cnt = w.Find<QLabel>("labStatCnt");
        QVERIFY(!cnt->isVisible());
        w.main->ShowStatus(3);
        w.main->ShowTotal(12);
        w.main->ShowCurrent(5);
        QCOMPARE(w.Find<QLabel>("labStatus")->text(),
                 QStringLiteral("Adressaten werden exportiert..."));
        QTRY_VERIFY(act->isVisible() && von->isVisible() && cnt->isVisible());
        QCOMPARE(act->text() + von->text() + cnt->text(), QStringLiteral("5 von 12"));
        QTRY_COMPARE(act->geometry().right() + 1, von->geometry().left());
        const int rightEdge = cnt->geometry().right();
        w.main->ShowTotal(123456);
        QTRY_COMPARE(von->geometry().right() + 1, cnt->geometry().left());
        QCOMPARE(cnt->geometry().right(), rightEdge);
        w.main->ShowStatus(1);
        QVERIFY(!act->isVisible() && !von->isVisible() && cnt->isVisible());
        QCOMPARE(w.Find<QProgressBar>("pbMain")->value(), 0);
    }

    void webUpdateStartsTheUpdaterOnClosing()
    {
        ProgramFolder folder;
        const QString record = folder.Path(QStringLiteral("args.txt"));
        QVERIFY(folder.WriteFile(QStringLiteral("Zephrin.exe"),
                                 "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + record.toUtf8() +
                                     ".tmp\" && mv \"" + record.toUtf8() + ".tmp\" \"" +
                                     record.toUtf8() + "\"\n"));
        QFile::setPermissions(folder.Path(QStringLiteral("Zephrin.exe")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        {
            Window w(folder);
            QVERIFY(!w.Action("mnuHW")->isEnabled()); // UNZIP.COM is missing
        }
        QVERIFY(folder.WriteFile(QStringLiteral("UNZIP.COM"), ""));
        Desktop::SetRecording(false);
        Window w(folder);
        w.main->show();
        QVERIFY(w.Action("mnuHW")->isEnabled());
        w.Action("mnuHW")->trigger();
        QVERIFY(!w.main->isVisible());
        QVERIFY(folder.Ini("common", "winmainpos") != "<missing>");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(folder.ReadFile(QStringLiteral("args.txt")),
                 QByteArray("Kuvrion\nKuvrion\n1\n5\n4\n"));
    }

    void logViewerAndManual()
    {
        ProgramFolder folder;
        {
            Window w(folder);
            QVERIFY(!w.Action("mnuDLA")->isEnabled());
            w.Action("mnuHH")->trigger();
            const auto shown = MessageBox::TakeShown();
            QCOMPARE(shown.size(), std::size_t(1));
            QCOMPARE(shown.front().text,
                     QStringLiteral("Das Handbuch wurde nicht gefunden:\r\nKuvrion.pdf"));
            QVERIFY(Desktop::TakeCalls().empty());
        }
        QVERIFY(folder.WriteFile(QStringLiteral("log.txt"), "Log:\tKuvrion\r\n"));
        QVERIFY(folder.WriteFile(QStringLiteral("Kuvrion.pdf"), "%PDF"));
        QVERIFY(folder.WriteFile(QStringLiteral("doc/Kuvrion.pdf"), "%PDF"));
        Window w(folder);
        QVERIFY(w.Action("mnuDLA")->isEnabled());
        w.Action("mnuDLA")->trigger();
        w.Action("mnuHH")->trigger();
        const auto calls = Desktop::TakeCalls();
        QCOMPARE(calls.size(), std::size_t(2));
        QCOMPARE(calls[0].target, QUrl::fromLocalFile(folder.Path("log.txt")).toString());
        QCOMPARE(calls[1].target, QUrl::fromLocalFile(folder.Path("doc/Kuvrion.pdf")).toString());
        QCOMPARE(w.Action("mnuHH")->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void keyDialogFromTheMenuEnablesTheImport()
    {
        ProgramFolder folder;
        QVERIFY(folder.WriteFile(QStringLiteral("Brief.pcl"), kuvrion::test::SampleJob()));
        folder.SetIni("files", "in", folder.PathUtf8(QStringLiteral("Brief.pcl")));
        Window w(folder);
        w.main->show();
        QVERIFY(!w.Action("mnuDI")->isEnabled());
        kuvrion::test::OnNextModal([](QWidget* dialog) {
            QCOMPARE(dialog->objectName(), QStringLiteral("frmAdr"));
            QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("txtBegKenn")),
                             QStringLiteral("Kd-Nr. "));
            QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("txtEndKenn")),
                             QStringLiteral("X"));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnOK")),
                              Qt::LeftButton);
        });
        // Ctrl+A opens the key dialog even from a text field, which would take it for itself.
        QApplication::setActiveWindow(w.main.get());
        QVERIFY(QTest::qWaitForWindowActive(w.main.get()));
        auto* count = w.Find<QLineEdit>("txtExpAdr");
        count->setFocus();
        QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(folder.Ini("keys", "adrkeybeg"), std::string("^Kd-Nr. ^"));
        QVERIFY(w.Action("mnuDI")->isEnabled());
        QVERIFY(w.Find<QPushButton>("btnImport")->isEnabled());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
