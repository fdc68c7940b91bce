#include "PrintAreaDialog.h"

#include "NumEdit.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "settings/SettingsCatalogue.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kuvrion {

PrintAreaDialog::PrintAreaDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("PrintAreaDialog"));
    setWindowTitle(QStringLiteral("PCL-Einstellungen"));
    const Settings& cfg = session.State().cfg;
    const float values[6] = {cfg.pclLeftMm, cfg.pclTopMm,  cfg.stdLeftMm,
                             cfg.stdTopMm,  cfg.omeLeftMm, cfg.omeTopMm};

    static constexpr const SettingDef* kRows[6] = {
        &Catalogued("pclleftmm"), &Catalogued("pcltopmm"),  &Catalogued("stdleftmm"),
        &Catalogued("stdtopmm"),  &Catalogued("omeleftmm"), &Catalogued("ometopmm")};
    // One row: "Links:" [field] mm  "Oben:" [field] mm. A distance takes no minus sign.
    auto addRow = [&](QWidget* frame, QGridLayout* grid, int row, int first) {
        for (int k = 0; k < 2; ++k) {
            const int i = first + k;
            txtMM[i] = NewMillimetreField(frame, QStringLiteral("txtMM_%1").arg(i), values[i],
                                          kRows[i]->form != Form::Distance);
            auto* caption =
                new QLabel(k == 0 ? QStringLiteral("Links:") : QStringLiteral("Oben:"), frame);
            caption->setObjectName(QStringLiteral("labMM_%1").arg(i));
            auto* unit = new QLabel(QStringLiteral("mm"), frame);
            unit->setObjectName(QStringLiteral("labUnit_%1").arg(i));
            grid->addWidget(caption, row, 1 + 3 * k);
            grid->addWidget(txtMM[i], row, 2 + 3 * k);
            grid->addWidget(unit, row, 3 + 3 * k);
        }
        grid->setColumnMinimumWidth(4, 12);
    };

    auto* fraRand = new QGroupBox(QStringLiteral("&Rand (bedruckbarer Bereich)"), this);
    fraRand->setObjectName(QStringLiteral("fraRand"));
    auto* rand = new QGridLayout(fraRand);
    addRow(fraRand, rand, 0, 0);
    rand->setColumnStretch(7, 1);
    // The margins of common paper sizes at one click.
    auto* presets = new QHBoxLayout;
    auto* labPreset = new QLabel(QStringLiteral("Vorgabe:"), fraRand);
    labPreset->setObjectName(QStringLiteral("labPreset"));
    presets->addWidget(labPreset);
    for (std::size_t p = 0; p < std::size(kMarginPresets); ++p) {
        const MarginPreset& preset = kMarginPresets[p];
        auto* button = new QPushButton(QStringLiteral("&%1").arg(QString::fromLatin1(
                                           preset.paper.data(), qsizetype(preset.paper.size()))),
                                       fraRand);
        button->setObjectName(QStringLiteral("btnPreset_%1").arg(p));
        button->setAutoDefault(false);
        button->setToolTip(QStringLiteral("Links %1 mm, oben %2 mm")
                               .arg(DisplayMM(preset.left), DisplayMM(preset.top)));
        connect(button, &QPushButton::clicked, this, [this, &preset] {
            txtMM[0]->setText(DisplayMM(preset.left));
            txtMM[1]->setText(DisplayMM(preset.top));
        });
        presets->addWidget(button);
    }
    presets->addStretch(1);
    rand->addLayout(presets, 1, 1, 1, 7);

    auto* fraOffsets = new QGroupBox(QStringLiteral("&Offsets"), this);
    fraOffsets->setObjectName(QStringLiteral("fraOffsets"));
    auto* offsets = new QGridLayout(fraOffsets);
    auto* labStd = new QLabel(QStringLiteral("Standard"), fraOffsets);
    labStd->setObjectName(QStringLiteral("labStd"));
    auto* labOme = new QLabel(QStringLiteral("OME"), fraOffsets);
    labOme->setObjectName(QStringLiteral("labOme"));
    offsets->addWidget(labStd, 0, 0);
    addRow(fraOffsets, offsets, 0, 2);
    offsets->addWidget(labOme, 1, 0);
    addRow(fraOffsets, offsets, 1, 4);
    offsets->setColumnStretch(7, 1);
    // Line the margin fields up with the offset fields.
    auto* indent = new QWidget(fraRand);
    indent->setFixedSize(std::max(labStd->sizeHint().width(), labOme->sizeHint().width()), 1);
    rand->addWidget(indent, 0, 0);

    auto* fields = new QVBoxLayout;
    fields->addWidget(fraRand);
    fields->addWidget(fraOffsets);
    labReason = NewReasonLabel(this);
    fields->addWidget(labReason);
    fields->addStretch(1);
    m_preview = NewPreviewPanel(this);
    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    top->addSpacing(12);
    top->addWidget(m_preview.panel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    btnOK = AddDialogButtons(this, layout).btnOK;

    UpdateOkButton();
    for (NumEdit* field : txtMM)
        connect(field, &QLineEdit::textChanged, this, &PrintAreaDialog::UpdateOkButton);
    connect(btnOK, &QPushButton::clicked, this, &PrintAreaDialog::Confirm);
    txtMM[0]->setFocus();
}

Settings PrintAreaDialog::Choice() const
{
    Settings s = m_session.State().cfg;
    PutPrintArea(s, Values());
    return s;
}

PrintAreaValues PrintAreaDialog::Values() const
{
    return {MillimetreValue(txtMM[0]), MillimetreValue(txtMM[1]), MillimetreValue(txtMM[2]),
            MillimetreValue(txtMM[3]), MillimetreValue(txtMM[4]), MillimetreValue(txtMM[5])};
}

void PrintAreaDialog::UpdateOkButton()
{
    ShowLayoutChoice(m_preview, labReason, btnOK, Choice());
}

void PrintAreaDialog::Confirm()
{
    if (MessageBox::Confirmed(this, ApplyPrintArea(m_session, Values())))
        accept();
}

} // namespace kuvrion
