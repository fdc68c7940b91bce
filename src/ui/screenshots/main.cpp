// Writes a picture of the main window and of every dialog into the folder named by the first
// argument (main.png, adr.png, ...), for the manual. The main window shows a small job of its own,
// imported from a temporary folder, so its totals are filled; the picture shows the paths an
// operator would see instead of that folder's random name. Runs without a display
// (QT_QPA_PLATFORM=offscreen).
#include "FileDialog.h"
#include "ImageList.h"
#include "MessageBox.h"
#include "StartUp.h"
#include "AddresseeKeyDialog.h"
#include "DataMatrixDialog.h"
#include "FeedRulesDialog.h"
#include "base/ByteText.h"
#include "FillCharDialog.h"
#include "ImportSummaryDialog.h"
#include "AboutDialog.h"
#include "LogWindow.h"
#include "MainWindow.h"
#include "OmeCodeDialog.h"
#include "OmeLayoutDialog.h"
#include "OrganizeDialog.h"
#include "PrintAreaDialog.h"
#include "PageTextDialog.h"
#include "ProgramFiles.h"
#include "app/SettingsCommands.h"
#include "ReferencePageDialog.h"
#include "ReprintDialog.h"

#include <QAction>
#include <QApplication>
#include <type_traits>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTranslator>
#include <cstdio>
#include <utility>

namespace {

// A letter job of seven pages for three addressees, the customer number after "Kd-Nr. ".
QByteArray SampleJob()
{
    const QByteArray esc(1, '\x1b');
    QByteArray job = esc + "E" + esc + "&l26A" + esc + "&l0O";
    const char* const ids[] = {"10001", "10001", "10001", "20417", "20417", "31800", "31800"};
    int n = 0;
    for (const char* id : ids) {
        if (n++ > 0)
            job += '\f';
        job += esc + "&a0v0H" + esc + "(s0p12h10v0s0b3T";
        job += "Stadtwerke Beispielstadt\r\nKd-Nr. ";
        job += id;
        job += "\r\nSeite " + QByteArray::number(n) + "\r\n";
    }
    job += '\f' + esc + "E";
    return job;
}

// The folders the manual's pictures show instead of the temporary one the sample job lies in.
const QString kShownJobFolder = QStringLiteral("/home/poststelle/Druckjobs/");
const QString kShownSettingsFolder = QStringLiteral("/home/poststelle/.config/Kuvrion/");

// Puts the operator's paths into whichever path fields the window has. Signals stay blocked, so
// the fields keep the colour of the real (existing) paths.
void ShowOperatorPaths(QWidget& widget)
{
    const std::pair<const char*, QString> shown[] = {
        {"txtSrcFile", kShownJobFolder},
        {"txtDstFile", kShownJobFolder},
        {"txtRefFile", kShownSettingsFolder},
    };
    for (const auto& [name, folder] : shown) {
        for (auto* edit : widget.findChildren<QLineEdit*>(QLatin1String(name))) {
            const QSignalBlocker quiet(edit);
            edit->setText(folder + QFileInfo(edit->text()).fileName());
            edit->setToolTip(edit->text());
        }
    }
}

bool Grab(QWidget& widget, const QDir& out, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    QApplication::processEvents();
    ShowOperatorPaths(widget);
    const QString path = out.filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "kuvrion-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    widget.hide();
    return true;
}

template <class Dialog>
bool GrabDialog(kuvrion::MainWindow& window, const QDir& out, const QString& name)
{
    if constexpr (std::is_constructible_v<Dialog, kuvrion::Session&, kuvrion::CommandRunner,
                                          QWidget*>) {
        Dialog dialog(window.session(), window.Runner(), &window);
        return Grab(dialog, out, name);
    } else {
        Dialog dialog(window.session(), &window);
        return Grab(dialog, out, name);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kuvrion"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto translations = kuvrion::LoadQtTranslations(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kuvrion-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "kuvrion-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir temp;
    if (!temp.isValid()) {
        std::fprintf(stderr, "kuvrion-screenshots: no temporary folder\n");
        return 1;
    }
    const QDir folder(temp.path());
    QFile job(folder.filePath(QStringLiteral("Rechnungen.pcl")));
    if (!job.open(QIODevice::WriteOnly) || job.write(SampleJob()) < 0)
        return 1;
    job.close();

    // Nothing may wait for an answer here.
    kuvrion::MessageBox::SetAutoAnswer(true);
    auto program = kuvrion::StartUp({job.fileName()}, folder.path().toStdString(),
                                    folder.filePath(QStringLiteral("kuvrion.lock")));
    if (!program)
        return 1;
    kuvrion::MainWindow& window = *program->window;
    kuvrion::Session& session = window.session();
    static_cast<void>(kuvrion::ApplyKeySettings(session, {"Kd-Nr. ", "\r", 5, 1, true}));
    session.ChooseDestination(folder.filePath(QStringLiteral("Rechnungen-OME.pcl")).toStdString());
    program->state->cfg.useLog = true; // for the log window
    window.findChild<QAction*>(QStringLiteral("actionImport"))->trigger();
    window.findChild<QLineEdit*>(QStringLiteral("txtExpAdr"))->setText(QStringLiteral("2"));

    bool ok = Grab(window, out, QStringLiteral("main.png"));
    window.show();
    ok = GrabDialog<kuvrion::AddresseeKeyDialog>(window, out, QStringLiteral("adr.png")) && ok;
    ok = GrabDialog<kuvrion::ImportSummaryDialog>(window, out, QStringLiteral("impinfo.png")) && ok;
    ok = GrabDialog<kuvrion::OmeCodeDialog>(window, out, QStringLiteral("ome.png")) && ok;
    {
        // Two feeders with rules, as the manual's example sets them.
        static_cast<void>(kuvrion::ApplyFeedRules(
            session, {kuvrion::Utf8ToCp1252("text:Rücksendeumschlag"), "sheets:>=3", "", ""}));
        kuvrion::FeedRulesDialog feed(session, 2, &window);
        ok = Grab(feed, out, QStringLiteral("feed.png")) && ok;
        static_cast<void>(kuvrion::ApplyFeedRules(session, {}));
    }
    ok = GrabDialog<kuvrion::OmeLayoutDialog>(window, out, QStringLiteral("omepos.png")) && ok;
    ok = GrabDialog<kuvrion::PrintAreaDialog>(window, out, QStringLiteral("pcl.png")) && ok;
    ok = GrabDialog<kuvrion::DataMatrixDialog>(window, out, QStringLiteral("dmx.png")) && ok;
    ok = GrabDialog<kuvrion::PageTextDialog>(window, out, QStringLiteral("pagetext.png")) && ok;
    ok = GrabDialog<kuvrion::ReprintDialog>(window, out, QStringLiteral("reprint.png")) && ok;
    ok = GrabDialog<kuvrion::OrganizeDialog>(window, out, QStringLiteral("organize.png")) && ok;
    ok = GrabDialog<kuvrion::FillCharDialog>(window, out, QStringLiteral("escskel.png")) && ok;
    ok = GrabDialog<kuvrion::ReferencePageDialog>(window, out, QStringLiteral("refpage.png")) && ok;
    ok = GrabDialog<kuvrion::AboutDialog>(window, out, QStringLiteral("info.png")) && ok;
    {
        const auto& paths = program->state->paths;
        kuvrion::LogWindow log(paths, kuvrion::LogText(&window, paths).value_or(std::string()),
                               &window);
        ok = Grab(log, out, QStringLiteral("log.png")) && ok;
    }
    // A running export, as the status line shows it (the state is set directly: the real one
    // runs beside the window and would be over before the grab).
    window.SetBusy(true);
    window.ShowStatus(3);
    window.ShowTotal(3);
    window.ShowCurrent(2);
    window.SetProgressMaximum(3);
    window.SetProgressValue(2);
    window.ProcessEvents();
    ok = Grab(window, out, QStringLiteral("busy.png")) && ok;
    window.SetBusy(false);
    window.ShowStatus(0);
    // An export whose check fails: a 2D code in the bars' clear zone, as a hand-edited file gives.
    kuvrion::Settings& cfg = program->state->cfg;
    cfg.useDmx = true;
    cfg.dmxX = 6;
    cfg.dmxY = 98;
    window.findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
    cfg.useDmx = false;
    ok = Grab(window, out, QStringLiteral("exportbad.png")) && ok;
    window.close();
    return ok ? 0 : 1;
}
