// The settings dialogs, the 2D code dialog and the about box, driven through their controls:
// enabling rules, key filters, ranges from the settings catalogue, and what "&Ok" and
// "Abbre&chen" leave in the settings file.
#include "Desktop.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "SheetPreview.h"
#include "AddresseeKeyDialog.h"
#include "DataMatrixDialog.h"
#include "FillCharDialog.h"
#include "ImportSummaryDialog.h"
#include "AboutDialog.h"
#include "OmeCodeDialog.h"
#include "OmeLayoutDialog.h"
#include "OrganizeDialog.h"
#include "PrintAreaDialog.h"
#include "ReferencePageDialog.h"
#include "settings/SettingsCatalogue.h"
#include "support/UiTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <optional>

using namespace kuvrion;
using namespace kuvrion::test;
using namespace Qt::StringLiterals;

namespace {

// Steps a count with its minus and plus buttons to both ends of the catalogue row's range: each
// button is disabled exactly at its end.
void CheckStepper(const QObject& dialog, const char* dec, const char* inc, const char* shown,
                  const SettingDef& row)
{
    for (const char* button : {dec, inc}) {
        const int end = button == dec ? row.min : row.max;
        for (int i = 0; i < row.max && Enabled(dialog, button); ++i)
            Click(dialog, button);
        QCOMPARE(Text(dialog, shown), QString::number(end));
        QVERIFY(Enabled(dialog, button == dec ? inc : dec));
    }
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

    // A fresh program folder and command layer for each test.
    std::optional<ProgramFolder> folder;
    std::optional<Headless> app;

private slots:
    void init()
    {
        ResetHooks();
        app.reset();
        folder.emplace();
        app.emplace(*folder);
    }

    // The key dialog: when "&Ok" is offered, the markers stored and read back; the millimetre
    // fields: key filters, and the values stored with a point.
    void keyMarkersAndMillimetreFields()
    {
        {
            AddresseeKeyDialog d(app->session);
            // Ok stays off while a field is missing, and the reason stands beside the fields.
            const auto refused = [&d](KeyFault why) {
                return !Enabled(d, "btnOK") &&
                       Text(d, "labReason") == QString::fromStdString(KeyFaultText(why));
            };
            QVERIFY(refused(KeyFault::NoStartMarker));
            QTest::keyClicks(Field(d, "txtBegKenn"), u" "_s);
            QVERIFY(refused(KeyFault::NoEndMarker));
            Click(d, "optKeyStyle_1");
            QVERIFY(!Enabled(d, "btnOK")); // switching the mode alone decides nothing
            Retype(Field(d, "txtIdLen"), u"00"_s);
            QVERIFY(refused(KeyFault::NoIdLength));
            Retype(Field(d, "txtIdLen"), u"a5x7"_s);
            QVERIFY(Enabled(d, "btnOK")); // a blank is a marker
            Click(d, "optKeyStyle_0");
            Retype(Field(d, "txtBegKenn"), u" Kd-Nr."_s);
            Retype(Field(d, "txtEndKenn"), u"^X^"_s);
            Child<QAbstractButton>(d, "chkRemKey")->setChecked(false);
            Click(d, "btnOK");
        }
        // Both markers enclosed; the length is stored in either mode.
        QCOMPARE(folder->Section("keys"),
                 u"adrkeybeg=^ Kd-Nr.^;adrkeyend=^^X^^;adridlen=57;adrkeymode=0;adrkeyrem=0"_s);

        // An emptied start marker refuses; cancelled edits change nothing.
        Headless again(*folder);
        AddresseeKeyDialog keys(again.session);
        const QByteArray before = folder->ReadFile(u"kuvrion.ini"_s);
        Field(keys, "txtBegKenn")->clear();
        QVERIFY(!Enabled(keys, "btnOK"));
        Click(keys, "btnAbbruch");
        QCOMPARE(folder->ReadFile(u"kuvrion.ini"_s), before);
        QCOMPARE(again.session.State().cfg.keyBegin, std::string(" Kd-Nr."));

        folder->SetIni("ome", "ome_y", "100.25");
        app.emplace(*folder);
        {
            OmeLayoutDialog d(app->session);
            QCOMPARE(Text(d, "txtCode_1"), u"100,25"_s); // longer than the field takes
            Retype(Field(d, "txtCode_0"), u"-0.5a"_s);
            Retype(Field(d, "txtCode_2"), u"5,50"_s, true);
            QCOMPARE(Text(d, "txtCode_2"), u"5,5"_s);
            Retype(Field(d, "txtCode_3"), u","_s, true);
            QCOMPARE(Text(d, "txtCode_3"), u"0"_s);
            Retype(Field(d, "txtCode_3"), u"1234567"_s);
            QCOMPARE(Text(d, "txtCode_3"), u"12345"_s); // five characters at most
            Click(d, "btnOK");
        }
        QCOMPARE(folder->Section("ome"),
                 u"ome_y=100.25;ome_x=0.5;ome_a=5.5;ome_b=12345;ome_d=0.5"_s);

        // A distance of the print area takes no minus sign; an offset does.
        {
            PrintAreaDialog d(app->session);
            Retype(Field(d, "txtMM_0"), u"-2.25"_s);
            Retype(Field(d, "txtMM_2"), u"-1.5"_s);
            Retype(Field(d, "txtMM_5"), u"-0,5"_s);
            Click(d, "btnOK");
        }
        QCOMPARE(folder->Section("pcl"), u"pclleftmm=2.25;pcltopmm=0;stdleftmm=-1.5;stdtopmm=0;"
                                         "omeleftmm=0;ometopmm=-.5"_s);
        // The paper presets fill the margins the manual quotes.
        for (const auto& [button, stored] :
             {std::pair{"btnPreset_0", u"6.01;12.7"_s}, std::pair{"btnPreset_1", u"6.35;12.7"_s}}) {
            PrintAreaDialog d(app->session);
            Click(d, button);
            Click(d, "btnOK");
            QCOMPARE(folder->Ini("pcl", "pclleftmm") + ";" + folder->Ini("pcl", "pcltopmm"),
                     stored);
        }
    }

    // Enter moves to the next field; the sheet preview follows the fields while they are typed,
    // to scale, with the rule check. Settings that give no readable code keep "&Ok" disabled and
    // say why beside the fields. The OME code's counts and marks, and the code "&Ok" stores.
    void layoutPreviewRefusalsAndOmeCode()
    {
        OmeLayoutDialog positions(app->session);
        positions.show();
        QApplication::setActiveWindow(&positions);
        QVERIFY(QTest::qWaitForWindowActive(&positions));
        for (int i = 0; i < 4; ++i) {
            auto* field = Field(positions, qPrintable(u"txtCode_%1"_s.arg(i)));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(positions.isVisible());
            QCOMPARE(QApplication::focusWidget(),
                     Field(positions, qPrintable(u"txtCode_%1"_s.arg(i + 1))));
        }
        const auto* preview = Child<SheetPreview>(positions, "imgSheet");
        const QSize size = positions.size();
        Retype(Field(positions, "txtCode_1"), u"50"_s); // Y
        const QRectF page = preview->ToPixels({0, 0, kSheetWidthMm, kSheetHeightMm});
        const QRectF bar = preview->ToPixels(*preview->Plan().bars.at(0).printed);
        QVERIFY(qAbs((bar.top() - page.top()) / page.height() * kSheetHeightMm - 50) < 0.01);
        QVERIFY(!Text(positions, "labRules").contains(u"⚠"_s));
        const QString marginHint = QString::fromUtf8(PrintAreaHintText());
        QVERIFY(Text(positions, "labRules").contains(marginHint));
        Retype(Field(positions, "txtCode_4"), u"0,1"_s); // D
        QVERIFY(Text(positions, "labRules").contains(u"dünner als 0,2 mm"_s));
        QVERIFY(Enabled(positions, "btnOK"));          // a warning never refuses
        Retype(Field(positions, "txtCode_3"), u"0"_s); // B: refused, with its reason
        QVERIFY(!Enabled(positions, "btnOK"));
        QCoreApplication::processEvents();
        QCOMPARE(positions.size(), size); // the dialog keeps its size while typed into

        OmeCodeDialog ome(app->session);
        OmeLayoutDialog layout(app->session);
        PrintAreaDialog area(app->session);
        // In table order: each row starts from what the rows before it typed into that dialog.
        const struct {
            QDialog* dialog;
            const char* field;
            QString typed;
            std::optional<CodeFault> fault; // none: accepted
        } cases[] = {
            {&ome, "txtCode_1", u"00"_s, CodeFault::EnvelopNoBar},
            {&ome, "txtCode_1", u"10"_s, CodeFault::SamePattern},
            {&ome, "txtCode_1", u"01"_s, {}},
            {&ome, "txtCode_0", u""_s, CodeFault::CollectEmpty},
            {&layout, "txtCode_4", u""_s, CodeFault::NoThickness},
            {&layout, "txtCode_4", u"0,2"_s, {}},
            {&layout, "txtCode_3", u"0"_s, CodeFault::NoLength},
            {&area, "txtMM_4", u"-3"_s, {}},
            {&area, "txtMM_4", u"0"_s, {}},
            {&area, "txtMM_0", u"12"_s, CodeFault::LeftOfPrintArea},
        };
        for (const auto& c : cases) {
            Field(*c.dialog, c.field)->setText(c.typed);
            const QString shown = Text(*c.dialog, "labReason");
            QVERIFY2(c.fault ? shown.contains(QString::fromStdString(CodeFaultText(*c.fault)))
                             : shown.isEmpty(),
                     qPrintable(c.typed + u" → "_s + shown));
            QCOMPARE(Enabled(*c.dialog, "btnOK"), !c.fault);
        }
        QVERIFY(!Text(area, "labRules").contains(marginHint)); // the margin is entered now

        {
            OmeCodeDialog d(app->session);
            CheckStepper(d, "btnDec_0", "btnInc_0", "labIncDec_0", Catalogued("supply_count"));
            CheckStepper(d, "btnDec_1", "btnInc_1", "labIncDec_1", Catalogued("seqchk_count"));
            for (const char* mark :
                 {"chkMark_0", "chkMark_1", "chkMark_2", "chkMark_3", "chkMark_4"})
                Click(d, mark);
            QCOMPARE(Text(d, "labSum") + Text(d, "labBar_2") + Text(d, "labBar_12"),
                     u"13STOPSICHERHEIT"_s);
            Click(d, "chkMark_0");
            QCOMPARE(Text(d, "labSum") + Text(d, "labBar_2"), u"12ZUFUHR 1"_s);
            QVERIFY(!d.findChild<QLabel*>(u"labBar_12"_s));
            Retype(Field(d, "txtCode_0"), u"0291"_s);
            Click(d, "btnOK");
        }
        QCOMPARE(folder->Section("ome"), u"collect_code=01;envelop_code=11;stop_code=101;"
                                         "supply_count=4;seqchk_count=4;use_stop=0;use_supply=1;"
                                         "use_seqchk=1;use_parity=1;use_security=1"_s);
    }

    // The reference page, the envelope limit, the fill character, the import status rows, the
    // about box; the 2D code dialog: live example, field list, refusals that keep it open, and
    // what "&Ok" stores.
    void smallerDialogsAndTheCodeBesideTheBars()
    {
        {
            ReferencePageDialog d(app->session);
            auto* path = Field(d, "txtRefFile");
            QCOMPARE(path->text(), folder->Path(u"RefPage.pcl"_s));
            path->setText(folder->Path(u"fehlt/RefPage.pcl"_s));
            QCOMPARE(path->palette().color(QPalette::Text), QColor(255, 0, 0));
            QVERIFY(!Enabled(d, "btnOK") && Text(d, "labReason").contains(u"fehlt"_s));
            FileDialog::SetNextFileName(folder->Path(u"ref.pcl"_s));
            Click(d, "btnRefFile");
            Click(d, "chkRef_0");
            Click(d, "chkRef_1");
            QVERIFY(!Enabled(d, "btnOK") && !Text(d, "labReason").isEmpty()); // nothing to print
            Click(d, "chkRef_0");
            Click(d, "btnOK");
            QCOMPARE(MessageBox::TakeShown().size(), std::size_t(1));
            QCOMPARE(folder->Ini("files", "refpg"), "^" + folder->Path(u"ref.pcl"_s) + "^,1,0");
        }
        {
            OrganizeDialog d(app->session);
            CheckStepper(d, "btnDecLim", "btnIncLim", "labEnvLim", Catalogued("envlimit"));
            Click(d, "btnDecLim");
            Click(d, "chkEnvLim");
            Click(d, "btnOK");
            QCOMPARE(folder->Ini("organize", "envlimit"), u"4,0"_s);
        }
        {
            // What is typed, and the code stored by "&Ok" (none: the button stays disabled).
            const std::pair<QString, QString> cases[] = {
                {u""_s, {}}, {u"\t"_s, {}}, {u"ж"_s, {}}, {u" "_s, u"32"_s}, {u"€"_s, u"128"_s}};
            QString last = folder->Ini("common", "dummyasc");
            for (const auto& [typed, stored] : cases) {
                FillCharDialog d(app->session);
                Field(d, "txtF")->setText(typed);
                QCOMPARE(Enabled(d, "btnOK"), !stored.isEmpty());
                QCOMPARE(Text(d, "labReason").isEmpty(), !stored.isEmpty()); // greyed with reason
                Click(d, "btnOK");
                last = stored.isEmpty() ? last : stored;
                QCOMPARE(folder->Ini("common", "dummyasc"), last);
            }
        }
        app->state->jobPages = 5;
        app->state->keyFaultCounts = {0, 2, 0, 0};
        ImportSummaryDialog status(app->session);
        QCOMPARE(Text(status, "labPgs_5") + Text(status, "labPgs_1"), u"52"_s);
        const QString withoutKey = Text(status, "labErr_3");
        QString icons;
        for (const char* name : {"imgErr_5", "imgErr_0", "imgErr_1", "imgErr_4"})
            icons += Child<QLabel>(status, name)->property("imageKey").toString() + u' ';
        QCOMPARE(icons, u"pages done error error "_s);

        // Every page assigned: pages without a key are the following pages of their letters.
        app->state->keyFaultCounts = {0, 0, 0, 3};
        app->state->assignedPages = 5;
        ImportSummaryDialog all(app->session);
        QVERIFY(Text(all, "labErr_3") != withoutKey);
        QCOMPARE(Child<QLabel>(all, "imgErr_3")->property("imageKey").toString(), u"done"_s);

        // A click on the mail address closes the box and opens the mail program.
        AboutDialog box;
        box.show();
        QTest::mouseClick(Child<QLabel>(box, "lab_5"), Qt::LeftButton);
        const auto calls = Desktop::TakeCalls();
        QVERIFY(!box.isVisible() && calls.size() == 1 && calls[0].target.startsWith(u"mailto:"_s));

        MessageBox::TakeShown();
        {
            DataMatrixDialog near(app->session);
            // A job number wider than its field is refused with the message; the dialog stays
            // open and nothing is stored.
            Retype(Field(near, "txtDmxTemplate"), u"{JOB:2}"_s);
            Retype(Field(near, "txtDmxJob"), u"123"_s);
            QVERIFY(Text(near, "labDmxExample").endsWith(u"nicht möglich"_s));
            Click(near, "btnOK");
            QCOMPARE(MessageBox::TakeShown().size(), std::size_t(1));
            QCOMPARE(folder->Ini("dmx", "dmx_template"), u"<missing>"_s);

            // Fields come from the list; the example follows every change.
            Field(near, "txtDmxTemplate")->setText(u"Kö-{ENV:3}/"_s); // no key for ö in the test
            auto* fields = Child<QListWidget>(near, "lstDmxFields");
            fields->setCurrentRow(fields->count() - 1);
            Click(near, "btnDmxInsert");
            QVERIFY(Text(near, "labDmxExample").endsWith(u": Kö-001/4711"_s));

            Child<QAbstractButton>(near, "chkUseDmx")->setChecked(true);
            Retype(Field(near, "txtDmxX"), u"12,5"_s);
            Retype(Field(near, "txtDmxY"), u"98"_s); // in the bars' clear zone: refused
            Retype(Field(near, "txtDmxModule"), u"0,1"_s);
            Retype(Field(near, "txtDmxQuiet"), u"0"_s);
            Retype(Field(near, "txtDmxJob"), u"98765"_s);
            Click(near, "btnOK");
            const auto refused = MessageBox::TakeShown();
            QVERIFY(refused.size() == 1 && refused[0].text.contains(u"Freizone"_s));
            QCOMPARE(folder->Ini("dmx", "dmx_x"), u"<missing>"_s);
            Retype(Field(near, "txtDmxX"), u"30"_s);
            Click(near, "btnOK");
            QVERIFY(MessageBox::TakeShown().empty());
        }
        // Module size and quiet zone are bounded; the template is stored in Windows-1252.
        const QString stored = folder->Section("dmx");
        QVERIFY2(stored.startsWith(u"use_dmx=1;dmx_x=30;dmx_y=98;dmx_module=0.25;dmx_quiet=1;"
                                   "dmx_clear=1;dmx_template=^K"_s) &&
                     stored.endsWith(u"-{ENV:3}/{ID}^;dmx_job=9876"_s),
                 qPrintable(stored));
        QVERIFY(folder->ReadFile(u"kuvrion.ini"_s).contains("dmx_template=^K\xF6-{ENV:3}/{ID}^"));
    }
};

QTEST_MAIN(TestDialogs)
#include "TestDialogs.moc"
