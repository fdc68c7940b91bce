// The main window driven as a user would: menu items, buttons, shortcuts and dropped files, file
// dialogs and message boxes answered through their test hooks, the settings file read back; the
// program's start with one instance per user and the job named on the command line.
#include "Desktop.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "StartUp.h"
#include "MainWindow.h"
#include "support/UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QSysInfo>
#include <QTextEdit>
#include <QTimer>
#include <optional>

using namespace kuvrion;
using namespace kuvrion::test;
using namespace Qt::StringLiterals;

namespace {

const QColor kRed(255, 0, 0);

struct Window {
    explicit Window(const ProgramFolder& folder)
        : state(folder.NewState()), main(std::make_unique<MainWindow>(*state))
    {
    }
    void Do(const char* action) const { Child<QAction>(*main, action)->trigger(); }
    bool On(const char* n) const { return Child<QObject>(*main, n)->property("enabled").toBool(); }
    QString Tip(const char* name) const { return Child<QWidget>(*main, name)->toolTip(); }
    QColor Colour(const char* f) const { return Field(*main, f)->palette().color(QPalette::Text); }
    void Drop(QMimeData& data, bool accepted) const
    {
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &drop);
    }

    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> main;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetHooks(); }

    void emptySettingsThenAKeyAndASourceEnableTheImport()
    {
        ProgramFolder folder;
        QVERIFY(folder.WriteFile(u"eins.pcl"_s, SampleJob()) &&
                folder.WriteFile(u"zwei.pcl"_s, "y"));
        Window w(folder);
        for (const char* name : {"actionImport", "actionExport", "actionImportStatus", "actionSaveSkeleton", "actionShowLog", "actionWebUpdate",
                                 "btnImport", "btnExport", "btnImpInfo"})
            QVERIFY2(!w.On(name), name);
        QVERIFY(w.Colour("txtSrcFile") == kRed && w.Colour("txtDstFile") == kRed);
        w.Do("actionManual"); // no manual
        QVERIFY(MessageBox::TakeShown().size() == 1 && Desktop::TakeCalls().empty());

        QCOMPARE(w.Tip("btnImport"), Said(Action::ImportReason, FailureKind::FileMissing));
        QCOMPARE(Text(*w.main, "labHint"), w.Tip("btnImport"));
        w.main->show();
        QApplication::setActiveWindow(w.main.get());
        QVERIFY(QTest::qWaitForWindowActive(w.main.get()));

        // Text is no file; of two dropped files the first becomes the source.
        QMimeData text;
        text.setText(u"nur Text"_s);
        w.Drop(text, false);
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(folder.Path(u"eins.pcl"_s)),
                       QUrl::fromLocalFile(folder.Path(u"zwei.pcl"_s))});
        w.Drop(files, true);
        QCOMPARE(folder.Ini("files", "in"), folder.Path(u"eins.pcl"_s));
        QCOMPARE(w.Colour("txtSrcFile"), QApplication::palette().color(QPalette::ButtonText));
        QCOMPARE(w.Tip("btnImport"), Said(Action::ImportReason, FailureKind::KeyIncomplete));
        QVERIFY(!w.On("actionImport"));

        // In a text field Ctrl+A selects its text; elsewhere it opens the key dialog.
        auto* count = Field(*w.main, "txtExpAdr");
        count->setText(u"12"_s);
        count->setFocus();
        // A dialog that opens anyway is closed, so the test goes on and fails on the selection.
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(count->selectedText(), u"12"_s);
        OnNextModal([](QWidget* dialog) {
            QTest::keyClicks(Field(*dialog, "txtBegKenn"), u"Kd-Nr. "_s);
            QTest::keyClicks(Field(*dialog, "txtEndKenn"), u"X"_s);
            Click(*dialog, "btnOK");
        });
        auto* button = Child<QWidget>(*w.main, "btnSrcFile");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(folder.Ini("keys", "adrkeybeg"), u"^Kd-Nr. ^"_s);

        QVERIFY(w.On("actionImport") && w.On("btnImport"));
    }

    // Source, destination, import, count, export, proof and reprint; then an import with
    // faults opens the status dialog, and every failure ends with a message that names the file
    // and the reason.
    // Alt and one letter reach one item in every menu and in the menu bar.
    void everyMnemonicIsUnique()
    {
        ProgramFolder folder;
        Window w(folder);
        QList<QWidget*> menus{w.main->menuBar()};
        for (QMenu* m : w.main->findChildren<QMenu*>())
            menus << m;
        for (const QWidget* menu : menus) {
            QSet<QChar> keys;
            for (const QAction* a : menu->actions()) {
                const qsizetype at = a->text().indexOf(QLatin1Char('&'));
                if (at < 0 || at + 1 >= a->text().size())
                    continue;
                const QChar key = a->text().at(at + 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(a->text()));
                keys.insert(key);
            }
        }
    }

    void fromSourceToExportAndFailuresAreNeverSilent()
    {
        ProgramFolder folder;
        // The sample job and the key settings that find its addressees.
        folder.SetIni("keys", "adrkeybeg", "^Kd-Nr. ^");
        folder.SetIni("keys", "adridlen", "5");
        folder.SetIni("keys", "adrkeymode", "1");
        QVERIFY(folder.WriteFile(u"Brief.pcl"_s, SampleJob()));
        QVERIFY(folder.WriteFile(u"Kuvrion.pdf"_s, "x"));
        Window w(folder);
        w.main->show();
        const QColor normal = QApplication::palette().color(QPalette::ButtonText);

        FileDialog::SetNextFileName(folder.Path(u"Brief.pcl"_s), 2);
        Click(*w.main, "btnSrcFile");
        QVERIFY(FileDialog::LastRequest().filterIndex == 1 && FileDialog::LastRequest().mustExist);
        QCOMPARE(folder.Ini("files", "infilt"), u"2"_s);
        FileDialog::SetNextCancel(); // changes nothing; starts with the stored filter index
        w.Do("actionOpenSource");
        QCOMPARE(FileDialog::LastRequest().filterIndex, 2);
        QCOMPARE(Text(*w.main, "txtSrcFile"), folder.Path(u"Brief.pcl"_s));

        // Without addressees any count becomes 1 when the field is left; letters never get in.
        auto* count = Field(*w.main, "txtExpAdr");
        QTest::keyClicks(count, u"7x"_s);
        QCOMPARE(count->text(), u"7"_s);
        Leave(count);
        QCOMPARE(count->text(), u"1"_s);

        QCOMPARE(w.Tip("btnExport"), Said(Action::ExportReason, FailureKind::ImportIncomplete));
        Click(*w.main, "btnImport");
        QCOMPARE(w.Tip("btnExport"), Said(Action::ExportReason, FailureKind::FileMissing));
        QCOMPARE(Text(*w.main, "labTotalPgs") + Text(*w.main, "labTotalAdr") + count->text(),
                 u"733"_s);
        QCOMPARE(count->maxLength(), 1); // as many digits as the addressee count
        QVERIFY(w.On("actionImportStatus") && w.On("btnImpInfo") && w.On("actionSaveSkeleton"));
        QVERIFY(MessageBox::TakeShown().empty()); // no fault, so no status dialog either
        for (const auto& [typed, bounded] : {std::pair{"0", 1}, {"9", 3}, {"2", 2}}) {
            Retype(count, QString::fromLatin1(typed), true);
            QCOMPARE(count->text(), QString::number(bounded));
            QCOMPARE(w.state->exportCount, bounded);
        }

        // A missing folder is refused as the destination: red, with the reason as tooltip and in
        // the status line.
        QVERIFY(!w.On("actionExport"));
        const std::pair<QString, std::optional<FailureKind>> destinations[] = {
            {u"fehlt/aus.pcl"_s, FailureKind::TargetFolderMissing}, {u"aus.pcl"_s, {}}};
        for (const auto& [name, refused] : destinations) {
            FileDialog::SetNextFileName(folder.Path(name));
            refused ? w.Do("actionSaveAs") : Click(*w.main, "btnDstFile");
            QCOMPARE(w.Colour("txtDstFile"), refused ? kRed : normal);
            QCOMPARE(folder.Ini("files", "out"), folder.Path(name));
            QCOMPARE(w.On("btnExport"), !refused);
            const QString why =
                refused ? Said(Action::ExportReason, *refused, folder.Path(u"fehlt"_s)) : QString();
            QVERIFY(!refused || (w.Tip("btnExport") == why && w.Tip("txtDstFile") == why &&
                                 Text(*w.main, "labHint") == why));
        }
        // The save dialog starts in the source's folder and asks before replacing.
        QCOMPARE(FileDialog::LastRequest().fileName, folder.Path(u"Brief-OME.pcl"_s));
        QVERIFY(FileDialog::LastRequest().confirmOverwrite);

        // The first two addressees: five pages, each ended by a form feed, the key blanked; the
        // written job is checked at once.
        Click(*w.main, "btnExport");
        auto shown = MessageBox::TakeShown();
        QVERIFY(shown.size() == 1 &&
                shown[0].text.endsWith(u"5 Blätter, 2 Kuverts geprüft: keine Fehler"_s));
        const QByteArray out = folder.ReadFile(u"aus.pcl"_s);
        QVERIFY(out.contains("Seite 5") && !out.contains("Seite 6") && !out.contains("Kd-Nr."));
        QCOMPARE(out.count('\f'), 5);
        QVERIFY(w.main->isEnabled() && !QApplication::overrideCursor());

        // "Export prüfen...": the export passes, the unmarked source does not.
        FileDialog::SetNextFileName(folder.Path(u"Brief.pcl"_s));
        w.Do("actionVerifyExport");
        QVERIFY(MessageBox::TakeShown().front().text.contains(u"Blatt 1: kein OME-Code"_s));

        // "Nachdruck...": envelope 3 alone into its own file; the destination stays.
        OnNextModal([&folder](QWidget* dialog) {
            auto* list = Child<QListWidget>(*dialog, "lstEnvelopes");
            QCOMPARE(list->count(), 3);
            list->item(2)->setSelected(true);
            Field(*dialog, "txtDstFile")->setText(folder.Path(u"nach.pcl"_s));
            Click(*dialog, "btnOK");
        });
        w.Do("actionReprint");
        QVERIFY(MessageBox::TakeShown().front().text.endsWith(u"1 Kuvert geprüft: keine Fehler"_s));
        const QByteArray again = folder.ReadFile(u"nach.pcl"_s);
        QVERIFY(again.contains("Seite 6") && !again.contains("Seite 5"));
        QCOMPARE(QString::fromStdString(w.state->cfg.destinationFile), folder.Path(u"aus.pcl"_s));

        // An import with faults opens the status dialog.
        // The first page has no key: it cannot be assigned.
        QVERIFY(folder.WriteFile(u"Brief.pcl"_s, "Brief\fKd-Nr. 10001\r\n\fKd-Nr. 10002\r\n\f"));
        QString opened, assigned, shownCount;
        OnNextModal([&](QWidget* dialog) {
            opened = dialog->objectName();
            assigned = Text(*dialog, "labPgs_4");
            shownCount = Text(*w.main, "txtExpAdr"); // the window shows the import's result
            static_cast<QDialog*>(dialog)->accept();
        });
        w.Do("actionImport");
        QCOMPARE(opened + assigned + shownCount, u"ImportSummaryDialog22"_s);

        // "Seitentext...": each page as the search sees it, with what the import made of it.
        QStringList outcomes;
        QString text;
        OnNextModal([&](QWidget* dialog) {
            auto* page = Child<QSpinBox>(*dialog, "spnPage");
            for (int n = 1; n <= page->maximum(); ++n) {
                page->setValue(n);
                outcomes << Text(*dialog, "labOutcome");
            }
            text = Child<QTextEdit>(*dialog, "txtPage")->toPlainText();
            static_cast<QDialog*>(dialog)->accept();
        });
        w.Do("actionPageText");
        QCOMPARE(outcomes,
                 QStringList({u"Schlüssel nicht gefunden – keinem Adressaten zugewiesen"_s,
                              u"Schlüssel gefunden, ID „10001“ – Adressat 1"_s,
                              u"Schlüssel gefunden, ID „10002“ – Adressat 2"_s}));
        QCOMPARE(text, u"Kd-Nr. 10002␍␊\n"_s);

        const auto message = [](const std::function<void()>& act) {
            MessageBox::TakeShown();
            act();
            const auto boxes = MessageBox::TakeShown();
            return boxes.empty() ? QString() : boxes.back().text;
        };

        // A PCL XL job is refused and leaves no totals and no count behind.
        QVERIFY(folder.WriteFile(u"Brief.pcl"_s, "\x1b%-12345X@PJL ENTER LANGUAGE=PCLXL\r\n"
                                                 ") HP-PCL XL;2;0\n\xd1\x0c\x0c Kd-Nr. 10001\x0c"));
        QVERIFY(message([&] { Click(*w.main, "btnImport"); }).contains(u"(erkannt: PCL XL)"_s));
        QCOMPARE(Text(*w.main, "labTotalPgs") + Text(*w.main, "labTotalAdr") +
                     Text(*w.main, "txtExpAdr"),
                 u"00"_s);
        // The export's tooltip and the status line say why there is nothing to export.
        QVERIFY(w.Tip("btnExport").contains(u"der letzte Import wurde abgelehnt"_s) &&
                w.Tip("btnExport").contains(u"(erkannt: PCL XL)"_s));
        QCOMPARE(Text(*w.main, "labHint"), w.Tip("btnExport"));

        QByteArray duplex = SampleJob();
        QVERIFY(folder.WriteFile(u"Brief.pcl"_s, duplex.replace("&l26A", "&l26a1S")));
        w.Do("actionImport");
        QCOMPARE(Text(*w.main, "labTotalPgs") + ' ' + Text(*w.main, "labPgs"),
                 u"7 Seiten, Duplex"_s);
        QVERIFY(folder.WriteFile(u"Brief.pcl"_s, SampleJob()));
        w.Do("actionImport");
        w.state->cfg.collectCode.clear(); // as from a hand-edited settings file
        QVERIFY(message([&] { w.Do("actionExport"); }).contains(u"Sammeln: Bitte einen Code eingeben"_s));
        QCOMPARE(folder.ReadFile(u"aus.pcl"_s), out);
        w.state->cfg.collectCode = "10";

        // An export that fails its check leaves the good destination and a lasting red state
        // until the next import.
        w.state->cfg.useDmx = true; // in the bars' clear zone, as from a hand-edited file
        w.state->cfg.dmxX = 6;
        w.state->cfg.dmxY = 98;
        QVERIFY(message([&] { w.Do("actionExport"); }).startsWith(u"Export nicht übernommen"_s));
        QCOMPARE(folder.ReadFile(u"aus.pcl"_s), out);
        QVERIFY(!folder.ReadFile(u"aus.fehlerhaft.pcl"_s).isEmpty());
        QVERIFY(!Child(*w.main, "labExportBad")->isHidden());
        w.state->cfg.useDmx = false;
        w.Do("actionImport");
        QVERIFY(Child(*w.main, "labExportBad")->isHidden());

        // "Abbrechen" while the export runs: the other commands wait and say why; the
        // destination stays and the counters say that it was stopped.
        QString waiting;
        OnShown(Child(*w.main, "btnCancel"), [&] {
            waiting = w.On("btnImport") ? QString() : w.Tip("btnImport");
            Click(*w.main, "btnCancel");
        });
        QCOMPARE(message([&] { w.Do("actionExport"); }), Said(Action::Export, FailureKind::Cancelled));
        QCOMPARE(waiting, QString::fromStdString(BusyReasonText()));
        QCOMPARE(folder.ReadFile(u"aus.pcl"_s), out);
        QCOMPARE(Text(*w.main, "labStatCnt"), QString::fromStdString(CancelledText()));
        QVERIFY(w.On("btnImport") && Child(*w.main, "btnCancel")->isHidden());

        Desktop::SetOpenFails(true);
        QCOMPARE(message([&] { w.Do("actionManual"); }),
                 Said(Action::OpenManual, FailureKind::NoViewer, folder.Path(u"Kuvrion.pdf"_s)));
    }

    // The status line, the busy window, the log and the manual (the one in "doc" first) opened;
    // closing stores the position and the log switch and starts the updater.
    void statusLineLogManualClosingAndUpdater()
    {
        ProgramFolder folder;
        for (const QString& name : {u"log.txt"_s, u"Kuvrion.pdf"_s, u"doc/Kuvrion.pdf"_s})
            QVERIFY(folder.WriteFile(name, "x"));
        {
            Window w(folder);
            w.main->move(100, 80);
            w.main->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
            auto* act = Child<QLabel>(*w.main, "labStatAct");
            auto* von = Child<QLabel>(*w.main, "labStatVon");
            auto* cnt = Child<QLabel>(*w.main, "labStatCnt");
            QVERIFY(!cnt->isVisible());
            w.main->ShowStatus(3);
            w.main->ShowTotal(12);
            w.main->ShowCurrent(5);
            QTRY_VERIFY(act->isVisible() && von->isVisible() && cnt->isVisible());
            QCOMPARE(act->text() + von->text() + cnt->text(), u"5 von 12"_s);
            QTRY_COMPARE(act->geometry().right() + 1, von->geometry().left());
            w.main->ShowStatus(1);
            QVERIFY(!act->isVisible() && !von->isVisible() && cnt->isVisible());
            QCOMPARE(Child<QProgressBar>(*w.main, "pbMain")->value(), 0);

            // The log in its own window; the editor on request.
            QString logShown;
            OnNextModal([&logShown](QWidget* dialog) {
                logShown = dialog->windowTitle() + ":" +
                           Child<QPlainTextEdit>(*dialog, "txtLog")->toPlainText();
                Click(*dialog, "btnEditor");
                static_cast<QDialog*>(dialog)->reject();
            });
            w.Do("actionShowLog");
            QCOMPARE(logShown,
                     u"Protokoll anzeigen:"_s + QString::fromLatin1(folder.ReadFile(u"log.txt"_s)));
            w.Do("actionManual");
            const auto calls = Desktop::TakeCalls();
            QCOMPARE(calls.size(), std::size_t(2));
            QCOMPARE(calls[0].target + calls[1].target,
                     QUrl::fromLocalFile(folder.Path(u"log.txt"_s)).toString() +
                         QUrl::fromLocalFile(folder.Path(u"doc/Kuvrion.pdf"_s)).toString());
            w.Do("actionUseLog");
            w.main->close();
            const QScreen* screen = w.main->screen();
            const auto twips = [](int px, qreal dpi) {
                return QString::number(std::lround(px * 1440.0 / dpi));
            };
            QCOMPARE(folder.Ini("common", "winmainpos") + folder.Ini("common", "uselog"),
                     twips(100, screen->logicalDotsPerInchX()) + "," +
                         twips(80, screen->logicalDotsPerInchY()) + "1");
        }
        {
            Window w(folder);
            QCOMPARE(w.main->pos(), QPoint(100, 80));
            QVERIFY(Child<QAction>(*w.main, "actionUseLog")->isChecked());
            // A maximised window stores where its normal window stands.
            w.main->show();
            w.main->showMaximized();
            QTRY_VERIFY(w.main->isMaximized());
            w.main->close();
        }
        QCOMPARE(Window(folder).main->pos(), QPoint(100, 80));
        // A position no screen shows any more is not used: the window is centred instead.
        folder.SetIni("common", "winmainpos", "-900000,-900000");
        Window lost(folder);
        QVERIFY(lost.main->screen()->geometry().contains(lost.main->pos()));

        // The web update needs both files of the updater and runs it when the window closes.
        const QByteArray record = folder.Path(u"args.txt"_s).toUtf8();
        QVERIFY(folder.WriteFile(u"Zephrin.exe"_s, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" +
                                                       record + ".tmp\" && mv \"" + record +
                                                       ".tmp\" \"" + record + "\"\n"));
        QFile::setPermissions(folder.Path(u"Zephrin.exe"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(folder.WriteFile(u"UNZIP.COM"_s, ""));
        Desktop::SetRecording(false);
        Window w(folder);
        w.main->show();
        w.Do("actionWebUpdate");
        QVERIFY(!w.main->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromUtf8(record)), 10000);
        QCOMPARE(folder.ReadFile(u"args.txt"_s), QByteArray("Kuvrion\nKuvrion\n1\n5\n4\n"));
    }

    // One instance per user: a second start is refused without touching anything; a lock left
    // by an instance that crashed is taken over. The job named on the command line becomes the
    // source; a word that names no file leaves the source empty, says so, and the stored source
    // stays.
    void startUpOneInstanceAndTheJobOnTheCommandLine()
    {
        ProgramFolder first, second;
        const QString lock = first.Path(u"kuvrion.lock"_s);
        auto running = StartUp({}, first.Dir(), lock);
        QVERIFY(running && running->window->isVisible());
        QVERIFY(MessageBox::TakeShown().empty());
        // A second start hands its job to the running window and writes nothing itself; one
        // without a job only raises the window.
        QVERIFY(second.WriteFile(u"Brief.pcl"_s, "x"));
        QVERIFY(!StartUp({second.Path(u"Brief.pcl"_s)}, second.Dir(), lock));
        QTRY_COMPARE(Text(*running->window, "txtSrcFile"), second.Path(u"Brief.pcl"_s));
        QVERIFY(MessageBox::TakeShown().empty());
        QCOMPARE(QDir(QString::fromStdString(second.Dir())).entryList(QDir::Files),
                 QStringList{u"Brief.pcl"_s});
        QVERIFY(!StartUp({}, second.Dir(), lock));
        QTest::qWait(100);
        QCOMPARE(Text(*running->window, "txtSrcFile"), second.Path(u"Brief.pcl"_s));
        QVERIFY(MessageBox::TakeShown().empty());
        // An instance that does not answer: the start says that the program is open.
        QLockFile silent(second.Path(u"silent.lock"_s));
        QVERIFY(silent.tryLock(0));
        QVERIFY(!StartUp({}, second.Dir(), second.Path(u"silent.lock"_s)));
        QCOMPARE(MessageBox::TakeShown().size(), std::size_t(1));
        running.reset();
        QVERIFY(StartUp({}, second.Dir(), lock));

        QProcess gone;
        gone.start(u"true"_s);
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(first.WriteFile(u"kuvrion.lock"_s, QByteArray::number(pid) + "\nKuvrion\n" +
                                                       QSysInfo::machineHostName().toUtf8() +
                                                       "\n"));
        QVERIFY(StartUp({}, first.Dir(), lock));
        QVERIFY(MessageBox::TakeShown().empty());

        const auto source = [&](const QString& word) {
            return Text(*StartUp({word}, second.Dir(), lock).value().window, "txtSrcFile");
        };
        const QString job = second.Path(u"Mein Ordner/Brief 1.pcl"_s);
        const QString missing = second.Path(u"fehlt.pcl"_s);
        QVERIFY(second.WriteFile(u"Mein Ordner/Brief 1.pcl"_s, "x"));
        QCOMPARE(source(job), job);
        QCOMPARE(second.Ini("files", "in"), job);
        QCOMPARE(source(missing), QString());
        QCOMPARE(MessageBox::TakeShown().at(0).text,
                 Said(Action::CommandLine, FailureKind::FileMissing, missing));
        QCOMPARE(second.Ini("files", "in"), job);
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
