#include "OmeCodeDialog.h"

#include "ImageList.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "FeedRulesDialog.h"
#include "marking/CodeRules.h"
#include "settings/SettingsCatalogue.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace kuvrion {

namespace {

// The rows of the selective-feed and the sequence-check count.
constexpr const SettingDef* kCountRows[2] = {&Catalogued("supply_count"),
                                              &Catalogued("seqchk_count")};

QString BarCaption(BarBlock block, int n)
{
    switch (block) {
    case BarBlock::Base:
        return n == 1 ? QStringLiteral("SAMMELN") : QStringLiteral("KUVERTIEREN");
    case BarBlock::Stop:
        return QStringLiteral("STOP");
    case BarBlock::Supply:
        return QStringLiteral("ZUFUHR %1").arg(n);
    case BarBlock::SeqChk:
        return QStringLiteral("FOLGEPRÜF %1").arg(n);
    case BarBlock::Parity:
        return QStringLiteral("PARITÄT");
    case BarBlock::Security:
        return QStringLiteral("SICHERHEIT");
    }
    return {};
}

// The length of the longest code: every mark on, both counts at their largest.
int LongestCode(Settings s)
{
    s.useStop = s.useSupply = s.useSeqchk = s.useParity = s.useSecurity = true;
    s.supplyCount = kCountRows[0]->max;
    s.seqchkCount = kCountRows[1]->max;
    return ComputeCodeLength(s);
}

} // namespace

OmeCodeDialog::OmeCodeDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("OmeCodeDialog"));
    setWindowTitle(QStringLiteral("OME-Code"));
    const Settings& cfg = session.State().cfg;
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12;
    static const QRegularExpression zeroOne(QStringLiteral("[01]*"));

    for (int i = 0; i < 3; ++i) {
        txtCode[i] = new QLineEdit(this);
        txtCode[i]->setObjectName(QStringLiteral("txtCode_%1").arg(i));
        txtCode[i]->setMaxLength(i < 2 ? 2 : 3);
        txtCode[i]->setFixedWidth(fieldWidth);
        txtCode[i]->setAlignment(Qt::AlignCenter);
        // Only "0" and "1" reach the field, typed or pasted.
        txtCode[i]->setValidator(new QRegularExpressionValidator(zeroOne, txtCode[i]));
    }

    // Base commands
    auto* fraBase = new QGroupBox(QStringLiteral("Grundbefehle"), this);
    fraBase->setObjectName(QStringLiteral("fraBase"));
    auto* base = new QGridLayout(fraBase);
    static const char* const kBase[2] = {"Sammeln", "Kuvertieren"};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kBase[i]), fraBase);
        label->setObjectName(QStringLiteral("labBase_%1").arg(i));
        auto* led = new QLabel(fraBase);
        led->setObjectName(QStringLiteral("imgLEDBase_%1").arg(i));
        SetLabelImage(led, QStringLiteral("led_on"), QSize(16, 16));
        base->addWidget(led, i, 0);
        base->addWidget(label, i, 1);
        base->addWidget(txtCode[i], i, 2);
    }
    base->setColumnStretch(1, 1);

    // Extra marks
    auto* fraMarks = new QGroupBox(QStringLiteral("Zusatzmarkierungen"), this);
    fraMarks->setObjectName(QStringLiteral("fraMarks"));
    auto* marks = new QGridLayout(fraMarks);
    static const char* const kMarks[5] = {"Sto&ppen", "Sel. &Zufuhr", "&Folgeprüf.", "&Parität",
                                          "&Sicherheit"};
    const bool on[5] = {cfg.useStop, cfg.useSupply, cfg.useSeqchk, cfg.useParity, cfg.useSecurity};
    for (int i = 0; i < 5; ++i) {
        chkMark[i] = NewPictureToggle(fraMarks, QStringLiteral("chkMark_%1").arg(i));
        chkMark[i]->setChecked(on[i]);
        auto* label = new QLabel(QString::fromUtf8(kMarks[i]), fraMarks);
        label->setObjectName(QStringLiteral("labMark_%1").arg(i));
        label->setBuddy(chkMark[i]);
        marks->addWidget(chkMark[i], i, 0);
        marks->addWidget(label, i, 1);
        connect(chkMark[i], &QToolButton::toggled, this, &OmeCodeDialog::RebuildPreview);
    }
    marks->addWidget(txtCode[2], 0, 2, 1, 3, Qt::AlignLeft);
    const std::int32_t counts[2] = {cfg.supplyCount, cfg.seqchkCount};
    for (int i = 0; i < 2; ++i) {
        btnDec[i] =
            NewPictureButton(fraMarks, QStringLiteral("btnDec_%1").arg(i), QStringLiteral("minus"));
        btnInc[i] =
            NewPictureButton(fraMarks, QStringLiteral("btnInc_%1").arg(i), QStringLiteral("plus"));
        labIncDec[i] = new QLabel(QString::number(counts[i]), fraMarks);
        labIncDec[i]->setObjectName(QStringLiteral("labIncDec_%1").arg(i));
        labIncDec[i]->setAlignment(Qt::AlignCenter);
        labIncDec[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00")));
        marks->addWidget(btnDec[i], i + 1, 2);
        marks->addWidget(labIncDec[i], i + 1, 3);
        marks->addWidget(btnInc[i], i + 1, 4);
        connect(btnDec[i], &QToolButton::clicked, this, [this, i] { Step(i, -1); });
        connect(btnInc[i], &QToolButton::clicked, this, [this, i] { Step(i, +1); });
    }
    marks->setColumnStretch(1, 1);
    marks->setColumnStretch(5, 1);
    // The feeders' rules, stored by their own dialog.
    btnFeed = new QPushButton(QStringLiteral("Zufuhr..."), fraMarks);
    btnFeed->setObjectName(QStringLiteral("btnFeed"));
    marks->addWidget(btnFeed, 1, 5, Qt::AlignLeft);
    connect(btnFeed, &QPushButton::clicked, this, [this] {
        FeedRulesDialog dialog(m_session, Count(0), this);
        dialog.exec();
    });
    chkSeqContinue = new QCheckBox(QStringLiteral("Sequenz über Jobs fortsetzen"), this);
    chkSeqContinue->setObjectName(QStringLiteral("chkSeqContinue"));
    chkSeqContinue->setChecked(cfg.seqContinue);

    // Code length
    auto* labLabel = new QLabel(QStringLiteral("Codelänge:"), this);
    labLabel->setObjectName(QStringLiteral("labLabel"));
    labSum = new QLabel(this);
    labSum->setObjectName(QStringLiteral("labSum"));

    // Preview of the bar column, from the top
    auto* fraShow = new QGroupBox(this);
    fraShow->setObjectName(QStringLiteral("fraShow"));
    m_barColumn = new QVBoxLayout(fraShow);
    m_barColumn->setSpacing(3);
    const int barHeight = fontMetrics().height();
    fraShow->setMinimumHeight(LongestCode(cfg) * (barHeight + 3) + 24);
    fraShow->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("FOLGEPRÜF 4")) + 40);
    m_barColumn->addStretch(1);
    AddPreviewBar(BarCaption(BarBlock::Base, 1));
    AddPreviewBar(BarCaption(BarBlock::Base, 2));

    labReason = NewReasonLabel(this);
    auto* left = new QVBoxLayout;
    left->addWidget(fraBase);
    left->addWidget(labReason);
    left->addWidget(fraMarks);
    left->addWidget(chkSeqContinue);
    auto* sum = new QHBoxLayout;
    sum->addWidget(labLabel);
    sum->addWidget(labSum);
    sum->addStretch(1);
    left->addLayout(sum);
    left->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(fraShow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    btnOK = AddDialogButtons(this, layout).btnOK;

    txtCode[0]->setText(QString::fromStdString(cfg.collectCode));
    txtCode[1]->setText(QString::fromStdString(cfg.envelopCode));
    txtCode[2]->setText(QString::fromStdString(cfg.stopCode));
    UpdateCountButtons(0);
    UpdateCountButtons(1);
    RebuildPreview();
    UpdateOkButton();

    for (int i = 0; i < 2; ++i)
        connect(txtCode[i], &QLineEdit::textChanged, this, &OmeCodeDialog::UpdateOkButton);
    connect(btnOK, &QPushButton::clicked, this, &OmeCodeDialog::Confirm);
}

int OmeCodeDialog::Count(int index) const
{
    return labIncDec[index]->text().toInt();
}

void OmeCodeDialog::Step(int index, int delta)
{
    labIncDec[index]->setText(QString::number(Count(index) + delta));
    UpdateCountButtons(index);
    RebuildPreview();
}

void OmeCodeDialog::UpdateCountButtons(int index)
{
    const int v = Count(index);
    btnDec[index]->setEnabled(v > kCountRows[index]->min);
    btnInc[index]->setEnabled(v < kCountRows[index]->max);
}

Settings OmeCodeDialog::Choice() const
{
    Settings s = m_session.State().cfg;
    s.useStop = chkMark[0]->isChecked();
    s.useSupply = chkMark[1]->isChecked();
    s.useSeqchk = chkMark[2]->isChecked();
    s.useParity = chkMark[3]->isChecked();
    s.useSecurity = chkMark[4]->isChecked();
    s.supplyCount = Count(0);
    s.seqchkCount = Count(1);
    s.collectCode = ToCp1252(txtCode[0]->text());
    s.envelopCode = ToCp1252(txtCode[1]->text());
    s.stopCode = ToCp1252(txtCode[2]->text());
    return s;
}

void OmeCodeDialog::UpdateOkButton()
{
    const auto fault = PatternFault(Choice());
    ShowReason(labReason, btnOK, fault ? QString::fromStdString(CodeFaultText(*fault)) : QString());
}

void OmeCodeDialog::RebuildPreview()
{
    while (labBar.size() > 2) {
        delete labBar.back();
        labBar.pop_back();
    }
    Settings choice = Choice();
    for (const BarRun& run : BarColumn(choice)) {
        if (run.block != BarBlock::Base) {
            for (int n = 1; n <= run.count; ++n)
                AddPreviewBar(BarCaption(run.block, n));
        }
    }
    labSum->setText(QString::number(ComputeCodeLength(choice)));
}

void OmeCodeDialog::AddPreviewBar(const QString& caption)
{
    // A bar of the column: black, with its caption in it; the next one goes below the last.
    auto* bar = new QLabel(caption, m_barColumn->parentWidget());
    bar->setObjectName(QStringLiteral("labBar_%1").arg(labBar.size()));
    bar->setStyleSheet(QStringLiteral(
        "QLabel { background-color: black; color: white; padding: 0px 6px; font-weight: bold; }"));
    bar->setFixedHeight(fontMetrics().height());
    m_barColumn->insertWidget(static_cast<int>(labBar.size()), bar);
    labBar.push_back(bar);
}

void OmeCodeDialog::Confirm()
{
    const Settings s = Choice();
    const OmeCodeValues code{s.collectCode,
                             s.envelopCode,
                             s.stopCode,
                             s.supplyCount,
                             s.seqchkCount,
                             s.useStop,
                             s.useSupply,
                             s.useSeqchk,
                             s.useParity,
                             s.useSecurity,
                             chkSeqContinue->isChecked()};
    if (MessageBox::Confirmed(this, ApplyOmeCode(m_session, code)))
        accept();
}

} // namespace kuvrion
