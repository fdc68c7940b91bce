#include "FillCharDialog.h"

#include "NumEdit.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "base/ByteText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kuvrion {

FillCharDialog::FillCharDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("FillCharDialog"));
    setWindowTitle(QStringLiteral("Escape-Skelett"));

    txtF = new NumEdit(this);
    txtF->setObjectName(QStringLiteral("txtF"));
    txtF->setMaxLength(1);
    txtF->setAlignment(Qt::AlignCenter);
    txtF->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 16);
    auto* labF = new QLabel(QStringLiteral("&Füllzeichen:"), this);
    labF->setObjectName(QStringLiteral("labF"));
    labF->setBuddy(txtF);

    auto* field = new QHBoxLayout;
    field->addWidget(labF);
    field->addWidget(txtF);
    field->addStretch(1);
    field->addSpacing(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 16);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(field);
    labReason = NewReasonLabel(this);
    layout->addWidget(labReason);
    btnOK = AddDialogButtons(this, layout).btnOK;

    m_loadedCode = session.State().cfg.fillChar;
    m_loadedText = FromCp1252(std::string(1, static_cast<char>(m_loadedCode & 0xff)));
    txtF->setText(m_loadedText);
    UpdateOkButton();

    connect(txtF, &QLineEdit::textChanged, this, &FillCharDialog::UpdateOkButton);
    connect(btnOK, &QPushButton::clicked, this, &FillCharDialog::Confirm);
}

int FillCharDialog::FillCode() const
{
    const QString text = txtF->text();
    if (text.isEmpty())
        return -1;
    // The stored code of a character that has no printable form here stays as it was.
    if (text == m_loadedText)
        return m_loadedCode;
    const QString first = text.left(1);
    if (!FitsCp1252(first.toStdString()))
        return -1;
    const std::string bytes = ToCp1252(first);
    return bytes.size() == 1 ? static_cast<unsigned char>(bytes.front()) : -1;
}

void FillCharDialog::UpdateOkButton()
{
    ShowReason(labReason, btnOK, QString::fromStdString(FillCharReason(FillCode())));
}

void FillCharDialog::Confirm()
{
    const int code = FillCode();
    if (!FillCharReason(code).empty())
        return;
    if (MessageBox::Confirmed(this, ApplyFillChar(m_session, code)))
        accept();
}

} // namespace kuvrion
