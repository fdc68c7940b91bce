#include "AddresseeKeyDialog.h"

#include "Cp1252Validator.h"
#include "NumEdit.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "settings/SettingsCatalogue.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kuvrion {

AddresseeKeyDialog::AddresseeKeyDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("AddresseeKeyDialog"));
    setWindowTitle(QStringLiteral("Adressatenschlüssel"));

    auto newField = [this](const QString& name) {
        auto* field = new NumEdit(this);
        field->setObjectName(name);
        return field;
    };
    txtBegKenn = newField(QStringLiteral("txtBegKenn"));
    txtEndKenn = newField(QStringLiteral("txtEndKenn"));
    txtIdLen = newField(QStringLiteral("txtIdLen"));
    txtBegKenn->setValidator(new Cp1252Validator(txtBegKenn));
    txtEndKenn->setValidator(new Cp1252Validator(txtEndKenn));
    auto* labBegKenn = new QLabel(QStringLiteral("&Startkennung:"), this);
    labBegKenn->setObjectName(QStringLiteral("labBegKenn"));
    labBegKenn->setBuddy(txtBegKenn);

    auto* group = new QButtonGroup(this);
    optKeyStyle[0] = new QRadioButton(QStringLiteral("&Variable ID-Länge mit Endekennung:"), this);
    optKeyStyle[1] = new QRadioButton(QStringLiteral("&Feste ID-Länge von"), this);
    for (int i = 0; i < 2; ++i) {
        optKeyStyle[i]->setObjectName(QStringLiteral("optKeyStyle_%1").arg(i));
        group->addButton(optKeyStyle[i], i);
    }
    auto* labChars = new QLabel(QStringLiteral("Zeichen"), this);
    labChars->setObjectName(QStringLiteral("labChars"));
    txtIdLen->setMaxLength(int(QString::number(Catalogued("adridlen").max).size()));
    txtIdLen->setAlignment(Qt::AlignCenter);
    txtIdLen->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    SetDigitsOnly(txtIdLen);

    auto* liErr = new QFrame(this);
    liErr->setObjectName(QStringLiteral("liErr"));
    liErr->setFrameShape(QFrame::HLine);
    liErr->setFrameShadow(QFrame::Sunken);
    chkRemKey = new QCheckBox(QStringLiteral("Schlüssel beim &Export ausblenden"), this);
    chkRemKey->setObjectName(QStringLiteral("chkRemKey"));

    auto* grid = new QGridLayout;
    grid->addWidget(labBegKenn, 0, 0);
    grid->addWidget(txtBegKenn, 0, 1, 1, 2);
    grid->addWidget(optKeyStyle[0], 1, 0);
    grid->addWidget(txtEndKenn, 1, 1, 1, 2);
    grid->addWidget(optKeyStyle[1], 2, 0);
    auto* length = new QHBoxLayout;
    length->addWidget(txtIdLen);
    length->addWidget(labChars);
    length->addStretch(1);
    grid->addLayout(length, 2, 1, 1, 2);
    grid->setColumnMinimumWidth(1, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(liErr);
    layout->addWidget(chkRemKey);
    labReason = NewReasonLabel(this);
    layout->addWidget(labReason);
    layout->addSpacing(6);
    const DialogButtons buttons = AddDialogButtons(this, layout);
    btnOK = buttons.btnOK;
    btnAbbruch = buttons.btnAbbruch;

    setTabOrder(txtBegKenn, optKeyStyle[0]);
    setTabOrder(optKeyStyle[0], txtEndKenn);
    setTabOrder(txtEndKenn, optKeyStyle[1]);
    setTabOrder(optKeyStyle[1], txtIdLen);
    setTabOrder(txtIdLen, btnOK);
    setTabOrder(btnOK, btnAbbruch);
    setTabOrder(btnAbbruch, chkRemKey);

    // Fill the fields without judging them.
    loading = true;
    const Settings& cfg = session.State().cfg;
    txtBegKenn->setText(FromCp1252(cfg.keyBegin));
    txtEndKenn->setText(FromCp1252(cfg.keyEnd));
    txtIdLen->setText(QString::number(cfg.idLength));
    const int mode = cfg.keyMode != 0 ? 1 : 0;
    optKeyStyle[mode]->setChecked(true);
    SetKeyStyle(mode);
    chkRemKey->setChecked(cfg.removeKey);
    loading = false;
    UpdateOkButton();

    for (QLineEdit* field : {txtBegKenn, txtEndKenn, txtIdLen})
        connect(field, &QLineEdit::textChanged, this, &AddresseeKeyDialog::UpdateOkButton);
    connect(group, &QButtonGroup::idClicked, this, &AddresseeKeyDialog::SetKeyStyle);
    connect(btnOK, &QPushButton::clicked, this, &AddresseeKeyDialog::Confirm);
    txtBegKenn->setFocus();
}

void AddresseeKeyDialog::SetKeyStyle(int index)
{
    // The field the mode does not use turns grey but stays editable. The OK button keeps its
    // state until a field changes.
    keyStyle = index;
    SetFieldGrey(txtEndKenn, index != 0);
    SetFieldGrey(txtIdLen, index == 0);
}

void AddresseeKeyDialog::UpdateOkButton()
{
    if (loading)
        return;
    const KeyFault fault = KeyFaultOf(ToCp1252(txtBegKenn->text()), ToCp1252(txtEndKenn->text()),
                                      txtIdLen->text().toInt(), keyStyle);
    ShowReason(labReason, btnOK, QString::fromStdString(KeyFaultText(fault)));
}

void AddresseeKeyDialog::Confirm()
{
    const KeySettingsValues key{ToCp1252(txtBegKenn->text()), ToCp1252(txtEndKenn->text()),
                                txtIdLen->text().toInt(), keyStyle, chkRemKey->isChecked()};
    if (MessageBox::Confirmed(this, ApplyKeySettings(m_session, key)))
        accept();
}

} // namespace kuvrion
