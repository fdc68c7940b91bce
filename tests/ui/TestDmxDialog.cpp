// The 2D code dialog, driven through its controls: the live example, the field list, the refusals
// that keep the dialog open, and what "&Ok" stores.
#include "MessageBox.h"
#include "frmDmx.h"
#include "support/UiTestSupport.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace kuvrion;
using namespace kuvrion::test;
using namespace Qt::StringLiterals;

class TestDmxDialog : public QObject {
    Q_OBJECT

private slots:
    void exampleFieldsRefusalsAndStoredSettings()
    {
        ProgramFolder folder;
        Headless app(folder);
        {
            frmDmx d(app.commands);
            QVERIFY(Text(d, "labDmxExample").endsWith(u": 000000000101020"_s));
            QVERIFY(!Child<QAbstractButton>(d, "chkUseDmx")->isChecked());

            // A template that is not fields and text, and a job number wider than its field, are
            // refused with the message; the dialog stays open and nothing is stored.
            for (const auto& [tmpl, job, says] :
                 {std::tuple{u"{FOO}"_s, u"7"_s, "fehlerhaft"},
                  std::tuple{u"{JOB:2}"_s, u"123"_s, "breiter als sein Feld ({JOB:2}=123)"}}) {
                Retype(Field(d, "txtDmxTemplate"), tmpl);
                Retype(Field(d, "txtDmxJob"), job);
                QVERIFY(Text(d, "labDmxExample").endsWith(u"nicht möglich"_s));
                Click(d, "btnOK");
                QCOMPARE(app.messages.size(), std::size_t(1));
                QVERIFY2(app.messages.front().find(says) != std::string::npos,
                         app.messages.front().c_str());
                app.messages.clear();
                QCOMPARE(folder.Ini("dmx", "dmx_template"), u"<missing>"_s);
            }

            // Fields come from the list; the example follows every change.
            Field(d, "txtDmxTemplate")->setText(u"Kö-{ENV:3}/"_s); // no key for ö in the test
            auto* fields = Child<QListWidget>(d, "lstDmxFields");
            fields->setCurrentRow(fields->count() - 1);
            Click(d, "btnDmxInsert");
            QCOMPARE(Text(d, "txtDmxTemplate"), u"Kö-{ENV:3}/{ID}"_s);
            QVERIFY(Text(d, "labDmxExample").endsWith(u": Kö-001/4711"_s));

            Child<QAbstractButton>(d, "chkUseDmx")->setChecked(true);
            Retype(Field(d, "txtDmxX"), u"12,5"_s);
            Retype(Field(d, "txtDmxModule"), u"0,1"_s);
            Retype(Field(d, "txtDmxQuiet"), u"0"_s);
            Retype(Field(d, "txtDmxJob"), u"98765"_s);
            QCOMPARE(Text(d, "txtDmxJob"), u"9876"_s);
            Click(d, "btnOK");
            QVERIFY(app.messages.empty());
        }
        // Module size and quiet zone are bounded; the template is stored in Windows-1252.
        const QString stored = folder.Section("dmx");
        QVERIFY2(stored.startsWith(u"use_dmx=1;dmx_x=12.5;dmx_y=80;dmx_module=0.25;dmx_quiet=1;"
                                   "dmx_clear=1;dmx_template=^K"_s) &&
                     stored.endsWith(u"-{ENV:3}/{ID}^;dmx_job=9876"_s),
                 qPrintable(stored));
        QVERIFY(folder.ReadFile(u"kuvrion.ini"_s).contains("dmx_template=^K\xF6-{ENV:3}/{ID}^"));
        QCOMPARE(app.commands.State().cfg.dmx_template, std::string("K\xF6-{ENV:3}/{ID}"));

        // A place in the bars' clear zone is stored with a warning.
        frmDmx d(app.commands);
        Retype(Field(d, "txtDmxX"), u"5"_s);
        Retype(Field(d, "txtDmxY"), u"98"_s);
        Click(d, "btnOK");
        QCOMPARE(app.messages.size(), std::size_t(1));
        QVERIFY(app.messages.front().find("Freizone") != std::string::npos);
        QCOMPARE(folder.Ini("dmx", "dmx_y"), u"98"_s);
    }
};

QTEST_MAIN(TestDmxDialog)
#include "TestDmxDialog.moc"
