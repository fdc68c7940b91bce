#include "OmeLayoutDialog.h"

#include "ImageList.h"
#include "NumEdit.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kuvrion {

OmeLayoutDialog::OmeLayoutDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("OmeLayoutDialog"));
    setWindowTitle(QStringLiteral("OME-Layout"));
    const Settings& cfg = session.State().cfg;
    const float values[5] = {cfg.omeX, cfg.omeY, cfg.omeA, cfg.omeB, cfg.omeD};
    static const char* const kCaptions[5] = {"&X (rechts)", "&Y (oben)", "&A (Abst.)",
                                             "&B (Breite)", "&D (Dicke)"};

    auto* imgCodePos = new QLabel(this);
    imgCodePos->setObjectName(QStringLiteral("imgCodePos"));
    SetLabelImage(imgCodePos, QStringLiteral("codepos"));

    auto* fields = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        txtCode[i] =
            NewMillimetreField(this, QStringLiteral("txtCode_%1").arg(i), values[i], false);
        auto* caption = new QLabel(QString::fromUtf8(kCaptions[i]), this);
        caption->setObjectName(QStringLiteral("labCode_%1").arg(i));
        caption->setBuddy(txtCode[i]);
        auto* unit = new QLabel(QStringLiteral("mm"), this);
        unit->setObjectName(QStringLiteral("labMM_%1").arg(i));
        fields->addWidget(caption, i, 0);
        fields->addWidget(txtCode[i], i, 1);
        fields->addWidget(unit, i, 2);
    }
    fields->setRowStretch(5, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(imgCodePos, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(fields);
    m_preview = NewPreviewPanel(this);
    top->addSpacing(12);
    top->addWidget(m_preview.panel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    labReason = NewReasonLabel(this);
    layout->addWidget(labReason);
    btnOK = AddDialogButtons(this, layout, false).btnOK;

    UpdateOkButton();
    for (NumEdit* field : txtCode)
        connect(field, &QLineEdit::textChanged, this, &OmeLayoutDialog::UpdateOkButton);
    connect(btnOK, &QPushButton::clicked, this, &OmeLayoutDialog::Confirm);
    txtCode[0]->setFocus();
}

void OmeLayoutDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter does what Tab does; it never closes the dialog from a field.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

Settings OmeLayoutDialog::Choice() const
{
    Settings s = m_session.State().cfg;
    PutOmeLayout(s, Values());
    return s;
}

OmeLayoutValues OmeLayoutDialog::Values() const
{
    return {MillimetreValue(txtCode[0]), MillimetreValue(txtCode[1]), MillimetreValue(txtCode[2]),
            MillimetreValue(txtCode[3]), MillimetreValue(txtCode[4])};
}

void OmeLayoutDialog::UpdateOkButton()
{
    ShowLayoutChoice(m_preview, labReason, btnOK, Choice());
}

void OmeLayoutDialog::Confirm()
{
    if (MessageBox::Confirmed(this, ApplyOmeLayout(m_session, Values())))
        accept();
}

} // namespace kuvrion
