// The settings dialogs and the about box: their enabling rules, key filters, ranges and what "&Ok"
// and "Abbre&chen" leave in the settings file.
#include "Desktop.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "frmAdr.h"
#include "frmEscSkel.h"
#include "frmImpInfo.h"
#include "frmInfo.h"
#include "frmOME.h"
#include "frmOMEPos.h"
#include "frmOrganize.h"
#include "frmPCL.h"
#include "frmRefPage.h"
#include "support/UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kuvrion;
using kuvrion::test::Headless;
using kuvrion::test::ProgramFolder;

namespace {

template <class T = QWidget> T* Child(const QWidget& dialog, const QString& name)
{
    T* child = dialog.findChild<T*>(name);
    if (!child)
        qFatal("no control %s", qPrintable(name));
    return child;
}

QLineEdit* Field(const QWidget& dialog, const QString& name)
{
    return Child<QLineEdit>(dialog, name);
}

void Click(const QWidget& dialog, const QString& name)
{
    QTest::mouseClick(Child<QAbstractButton>(dialog, name), Qt::LeftButton);
}

bool Enabled(const QWidget& dialog, const QString& name)
{
    return Child<QWidget>(dialog, name)->isEnabled();
}

void Retype(QLineEdit* field, const QString& text)
{
    field->clear();
    QTest::keyClicks(field, text);
}

void Leave(QLineEdit* field)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &out);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::SetAutoAnswer(true);
        MessageBox::TakeShown();
        Desktop::SetRecording(true);
        Desktop::TakeCalls();
    }

    void keyDialogOkRule()
    {
        ProgramFolder folder;
        Headless app(folder);
        frmAdr dialog(app.commands);
        const QString ok = QStringLiteral("btnOK");
        QVERIFY(!Enabled(dialog, ok)); // no start marker
        QTest::keyClicks(Field(dialog, "txtBegKenn"), QStringLiteral("Nr."));
        QVERIFY(!Enabled(dialog, ok)); // mode 0 without end marker
        Click(dialog, QStringLiteral("optKeyStyle_1"));
        QVERIFY(!Enabled(dialog, ok)); // switching the mode alone decides nothing
        auto* length = Field(dialog, "txtIdLen");
        Retype(length, QStringLiteral("00"));
        QVERIFY(!Enabled(dialog, ok));
        Retype(length, QStringLiteral("a5x7"));
        QCOMPARE(length->text(), QStringLiteral("57"));
        QVERIFY(Enabled(dialog, ok));
        Field(dialog, "txtBegKenn")->clear();
        QVERIFY(!Enabled(dialog, ok));
        QTest::keyClicks(Field(dialog, "txtBegKenn"), QStringLiteral(" "));
        QVERIFY(Enabled(dialog, ok)); // a blank is a marker
        Click(dialog, QStringLiteral("optKeyStyle_0"));
        QTest::keyClicks(Field(dialog, "txtEndKenn"), QStringLiteral("#"));
        QVERIFY(Enabled(dialog, ok));
        QCOMPARE(Field(dialog, "txtIdLen")->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Button));
    }

    void keyDialogStoresMarkersQuoted()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmAdr dialog(app.commands);
            Retype(Field(dialog, "txtBegKenn"), QStringLiteral(" Kd-Nr."));
            Retype(Field(dialog, "txtEndKenn"), QStringLiteral("^X^"));
            Child<QAbstractButton>(dialog, QStringLiteral("chkRemKey"))->setChecked(false);
            Click(dialog, QStringLiteral("btnOK"));
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(folder.Ini("keys", "adrkeybeg"), std::string("^ Kd-Nr.^"));
        QCOMPARE(folder.Ini("keys", "adrkeyend"), std::string("^^X^^"));
        QCOMPARE(folder.Ini("keys", "adridlen"), std::string("1"));
        QCOMPARE(folder.Ini("keys", "adrkeymode"), std::string("0"));
        QCOMPARE(folder.Ini("keys", "adrkeyrem"), std::string("0"));

        // Read back at the next start, then cancelled edits change nothing.
        Headless again(folder);
        frmAdr dialog(again.commands);
        QCOMPARE(Field(dialog, "txtBegKenn")->text(), QStringLiteral(" Kd-Nr."));
        QCOMPARE(Field(dialog, "txtEndKenn")->text(), QStringLiteral("^X^"));
        const QByteArray before = folder.ReadFile(QStringLiteral("kuvrion.ini"));
        Retype(Field(dialog, "txtBegKenn"), QStringLiteral("anders"));
        Click(dialog, QStringLiteral("btnAbbruch"));
        QCOMPARE(folder.ReadFile(QStringLiteral("kuvrion.ini")), before);
        QCOMPARE(again.state->cfg.sAdrKeyBeg, std::string(" Kd-Nr."));
    }

    void layoutFieldsFilterKeysAndStoreWithPoint()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmOMEPos dialog(app.commands);
            QCOMPARE(Field(dialog, "txtCode_4")->text(), QStringLiteral("0,5"));
            auto* x = Field(dialog, "txtCode_0");
            Retype(x, QStringLiteral("-0.5a"));
            QCOMPARE(x->text(), QStringLiteral("0,5"));
            auto* y = Field(dialog, "txtCode_1");
            Retype(y, QStringLiteral("12,3,4"));
            auto* a = Field(dialog, "txtCode_2");
            Retype(a, QStringLiteral("5,50"));
            Leave(a);
            QCOMPARE(a->text(), QStringLiteral("5,5"));
            auto* b = Field(dialog, "txtCode_3");
            Retype(b, QStringLiteral(","));
            Leave(b);
            QCOMPARE(b->text(), QStringLiteral("0"));
            Retype(b, QStringLiteral("1234567"));
            QCOMPARE(b->text(), QStringLiteral("12345")); // five characters at most
            Click(dialog, QStringLiteral("btnOK"));
        }
        QCOMPARE(folder.Ini("ome", "ome_x"), std::string("0.5"));
        QCOMPARE(folder.Ini("ome", "ome_y"), std::string("12.3"));
        QCOMPARE(folder.Ini("ome", "ome_a"), std::string("5.5"));
        QCOMPARE(folder.Ini("ome", "ome_b"), std::string("12345"));
        QCOMPARE(folder.Ini("ome", "ome_d"), std::string("0.5"));
    }

    void layoutValueLongerThanTheFieldSurvivesOk()
    {
        ProgramFolder folder;
        folder.SetIni("ome", "ome_y", "100.25");
        Headless app(folder);
        frmOMEPos dialog(app.commands);
        QCOMPARE(Field(dialog, "txtCode_1")->text(), QStringLiteral("100,25"));
        Click(dialog, QStringLiteral("btnOK"));
        QCOMPARE(folder.Ini("ome", "ome_y"), std::string("100.25"));
    }

    void enterMovesThroughTheLayoutFields()
    {
        ProgramFolder folder;
        Headless app(folder);
        frmOMEPos dialog(app.commands);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (int i = 0; i < 4; ++i) {
            auto* field = Field(dialog, QStringLiteral("txtCode_%1").arg(i));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QCOMPARE(QApplication::focusWidget(),
                     Field(dialog, QStringLiteral("txtCode_%1").arg(i + 1)));
        }
    }

    void printAreaMinusOnlyInOffsets()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmPCL dialog(app.commands);
            Retype(Field(dialog, "txtMM_0"), QStringLiteral("-2.25"));
            QCOMPARE(Field(dialog, "txtMM_0")->text(), QStringLiteral("2,25"));
            Retype(Field(dialog, "txtMM_1"), QStringLiteral("-1"));
            Retype(Field(dialog, "txtMM_2"), QStringLiteral("-1.5"));
            QCOMPARE(Field(dialog, "txtMM_2")->text(), QStringLiteral("-1,5"));
            Retype(Field(dialog, "txtMM_5"), QStringLiteral("-0,5"));
            Click(dialog, QStringLiteral("btnOK"));
        }
        QCOMPARE(folder.Ini("pcl", "pclleftmm"), std::string("2.25"));
        QCOMPARE(folder.Ini("pcl", "pcltopmm"), std::string("1"));
        QCOMPARE(folder.Ini("pcl", "stdleftmm"), std::string("-1.5"));
        QCOMPARE(folder.Ini("pcl", "ometopmm"), std::string("-.5"));
        frmPCL again(app.commands);
        QCOMPARE(Field(again, "txtMM_5")->text(), QStringLiteral("-0,5"));
    }

    void omeCountsPreviewAndStoredCode()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmOME dialog(app.commands);
            QCOMPARE(Child<QLabel>(dialog, "labSum")->text(), QStringLiteral("2"));
            QVERIFY(!Enabled(dialog, "btnDec_0"));
            QVERIFY(Enabled(dialog, "btnInc_0"));
            for (int i = 0; i < 3; ++i)
                Click(dialog, QStringLiteral("btnInc_0"));
            QCOMPARE(Child<QLabel>(dialog, "labIncDec_0")->text(), QStringLiteral("4"));
            QVERIFY(!Enabled(dialog, "btnInc_0"));
            QVERIFY(Enabled(dialog, "btnDec_0"));
            Click(dialog, QStringLiteral("chkMark_1"));
            QCOMPARE(Child<QLabel>(dialog, "labSum")->text(), QStringLiteral("6"));
            QCOMPARE(Child<QLabel>(dialog, "labBar_5")->text(), QStringLiteral("ZUFUHR 4"));
            for (int i = 0; i < 3; ++i)
                Click(dialog, QStringLiteral("btnInc_1"));
            for (const char* mark : {"chkMark_0", "chkMark_2", "chkMark_3", "chkMark_4"})
                Click(dialog, QString::fromLatin1(mark));
            QCOMPARE(Child<QLabel>(dialog, "labSum")->text(), QStringLiteral("13"));
            QCOMPARE(Child<QLabel>(dialog, "labBar_12")->text(), QStringLiteral("SICHERHEIT"));
            Click(dialog, QStringLiteral("chkMark_0"));
            QCOMPARE(Child<QLabel>(dialog, "labSum")->text(), QStringLiteral("12"));
            QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("labBar_12")));
            auto* collect = Field(dialog, "txtCode_0");
            Retype(collect, QStringLiteral("0291"));
            QCOMPARE(collect->text(), QStringLiteral("01"));
            Click(dialog, QStringLiteral("btnOK"));
        }
        QCOMPARE(folder.Ini("ome", "collect_code"), std::string("01"));
        QCOMPARE(folder.Ini("ome", "supply_count"), std::string("4"));
        QCOMPARE(folder.Ini("ome", "seqchk_count"), std::string("4"));
        QCOMPARE(folder.Ini("ome", "use_stop"), std::string("0"));
        QCOMPARE(folder.Ini("ome", "use_security"), std::string("1"));
        QCOMPARE(app.state->cfg.nCodeLen, 12);

        frmOME cancelled(app.commands);
        Click(cancelled, QStringLiteral("chkMark_4"));
        Click(cancelled, QStringLiteral("btnAbbruch"));
        QVERIFY(app.state->cfg.use_security);
        QCOMPARE(app.state->cfg.nCodeLen, 12);
    }

    void envelopeLimitButtons()
    {
        ProgramFolder folder;
        Headless app(folder);
        frmOrganize dialog(app.commands);
        QCOMPARE(Child<QLabel>(dialog, "labEnvLim")->text(), QStringLiteral("5"));
        QVERIFY(!Enabled(dialog, "btnIncLim"));
        for (int i = 0; i < 4; ++i)
            Click(dialog, QStringLiteral("btnDecLim"));
        QCOMPARE(Child<QLabel>(dialog, "labEnvLim")->text(), QStringLiteral("1"));
        QVERIFY(!Enabled(dialog, "btnDecLim"));
        Click(dialog, QStringLiteral("btnIncLim"));
        Click(dialog, QStringLiteral("btnIncLim"));
        QVERIFY(Child<QAbstractButton>(dialog, "chkEnvLim")->isChecked());
        Click(dialog, QStringLiteral("chkEnvLim"));
        Click(dialog, QStringLiteral("btnOK"));
        QCOMPARE(folder.Ini("organize", "envlimit"), std::string("3,0"));
    }

    void fillCharacterIsItsWindows1252Code()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmEscSkel dialog(app.commands);
            auto* fill = Field(dialog, "txtF");
            QCOMPARE(fill->text(), QStringLiteral("a"));
            fill->clear();
            QVERIFY(!Enabled(dialog, "btnOK"));
            fill->setText(QStringLiteral("\t"));
            QVERIFY(!Enabled(dialog, "btnOK"));
            Retype(fill, QStringLiteral(" "));
            QVERIFY(Enabled(dialog, "btnOK"));
            Click(dialog, QStringLiteral("btnOK"));
            QCOMPARE(folder.Ini("common", "dummyasc"), std::string("32"));
        }
        frmEscSkel euro(app.commands);
        Field(euro, "txtF")->setText(QStringLiteral("€"));
        Click(euro, QStringLiteral("btnOK"));
        QCOMPARE(folder.Ini("common", "dummyasc"), std::string("128"));
        frmEscSkel foreign(app.commands);
        Field(foreign, "txtF")->setText(QStringLiteral("ж"));
        QVERIFY(!Enabled(foreign, "btnOK")); // no Windows-1252 code
    }

    void referencePagePathAndOptions()
    {
        ProgramFolder folder;
        Headless app(folder);
        frmRefPage dialog(app.commands);
        auto* path = Field(dialog, "txtRefFile");
        QCOMPARE(path->text(), folder.Path(QStringLiteral("RefPage.pcl")));
        QVERIFY(Enabled(dialog, "btnOK"));
        const QColor normal = QApplication::palette(path).color(QPalette::ButtonText);
        QCOMPARE(path->palette().color(QPalette::Text), normal);
        path->setText(folder.Path(QStringLiteral("fehlt/RefPage.pcl")));
        QCOMPARE(path->palette().color(QPalette::Text), QColor(255, 0, 0));
        QVERIFY(!Enabled(dialog, "btnOK"));
        FileDialog::SetNextFileName(folder.Path(QStringLiteral("ref.pcl")));
        Click(dialog, QStringLiteral("btnRefFile"));
        QCOMPARE(FileDialog::LastRequest().title, QStringLiteral("Referenzdatei bestimmen..."));
        QCOMPARE(FileDialog::LastRequest().defaultSuffix, QStringLiteral("pcl"));
        QCOMPARE(path->palette().color(QPalette::Text), normal);
        QVERIFY(Enabled(dialog, "btnOK"));
        Click(dialog, QStringLiteral("chkRef_0"));
        Click(dialog, QStringLiteral("chkRef_1"));
        QVERIFY(!Enabled(dialog, "btnOK"));
        Click(dialog, QStringLiteral("chkRef_0"));
        QVERIFY(Enabled(dialog, "btnOK"));
        Click(dialog, QStringLiteral("btnOK"));
        QCOMPARE(app.reporter.messages, std::vector<std::string>{"Referenzseite wurde erzeugt"});
        QCOMPARE(folder.Ini("files", "refpg"),
                 "^" + folder.PathUtf8(QStringLiteral("ref.pcl")) + "^,1,0");
        const QByteArray job = folder.ReadFile(QStringLiteral("ref.pcl"));
        QVERIFY(job.contains("RR8400,11880"));

        frmRefPage reopened(app.commands);
        QVERIFY(Child<QAbstractButton>(reopened, "chkRef_0")->isChecked());
        QVERIFY(!Child<QAbstractButton>(reopened, "chkRef_1")->isChecked());
    }

    void importStatusRows()
    {
        ProgramFolder folder;
        Headless app(folder);
        app.state->nJobPages = 5;
        app.state->nImpErr = {0, 2, 0, 0};
        app.state->nImpAssigned = 0;
        frmImpInfo dialog(app.commands);
        QCOMPARE(Child<QLabel>(dialog, "labPgs_5")->text(), QStringLiteral("5"));
        QCOMPARE(Child<QLabel>(dialog, "labPgs_1")->text(), QStringLiteral("2"));
        QCOMPARE(Child<QLabel>(dialog, "labErr_2")->text(),
                 QStringLiteral("Schlüssel-Endekennung fehlt:"));
        const auto icon = [&](const char* name) {
            return Child<QLabel>(dialog, QString::fromLatin1(name))
                ->property("imageKey")
                .toString();
        };
        QCOMPARE(icon("imgErr_5"), QStringLiteral("pages"));
        QCOMPARE(icon("imgErr_0"), QStringLiteral("done"));
        QCOMPARE(icon("imgErr_1"), QStringLiteral("error"));
        QCOMPARE(icon("imgErr_4"), QStringLiteral("error"));
    }

    void aboutBoxTextsAndClosing()
    {
        {
            frmInfo box;
            QCOMPARE(Child<QLabel>(box, "lab_1")->text(), QStringLiteral("Version 1.05"));
            QCOMPARE(Child<QLabel>(box, "lab_2")->text(), QStringLiteral("Rev. 0004 (Jan 2005)"));
            QCOMPARE(Child<QLabel>(box, "lab_6")->text(), Child<QLabel>(box, "lab_0")->text());
            box.show();
            QTest::mouseClick(Child<QLabel>(box, "lab_2"), Qt::LeftButton);
            QVERIFY(!box.isVisible());
            QVERIFY(Desktop::TakeCalls().empty());
        }
        {
            frmInfo box;
            box.show();
            QTest::mouseClick(Child<QLabel>(box, "lab_5"), Qt::LeftButton);
            QVERIFY(!box.isVisible());
            const auto calls = Desktop::TakeCalls();
            QCOMPARE(calls.size(), std::size_t(1));
            QVERIFY(calls.front().target.startsWith(QStringLiteral("mailto:")));
        }
        frmInfo box;
        box.show();
        QTest::keyClick(&box, Qt::Key_X);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(TestDialogs)
#include "TestDialogs.moc"
