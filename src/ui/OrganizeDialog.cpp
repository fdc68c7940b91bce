#include "OrganizeDialog.h"

#include "ImageList.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "settings/SettingsCatalogue.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace kuvrion {

OrganizeDialog::OrganizeDialog(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("OrganizeDialog"));
    setWindowTitle(QStringLiteral("Seiten organisieren"));
    const Settings& cfg = session.State().cfg;

    auto* imgEnvLim = new QLabel(this);
    imgEnvLim->setObjectName(QStringLiteral("imgEnvLim"));
    SetLabelImage(imgEnvLim, QStringLiteral("envlim"));
    chkEnvLim = NewPictureToggle(this, QStringLiteral("chkEnvLim"));
    auto* labLimit = new QLabel(QStringLiteral("Kuvertlimit"), this);
    labLimit->setObjectName(QStringLiteral("labLimit"));
    btnDecLim = NewPictureButton(this, QStringLiteral("btnDecLim"), QStringLiteral("minus"));
    btnIncLim = NewPictureButton(this, QStringLiteral("btnIncLim"), QStringLiteral("plus"));
    labEnvLim = new QLabel(QString::number(cfg.envelopeLimit), this);
    labEnvLim->setObjectName(QStringLiteral("labEnvLim"));
    labEnvLim->setAlignment(Qt::AlignCenter);
    labEnvLim->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00")));

    auto* limit = new QHBoxLayout;
    limit->addWidget(chkEnvLim);
    limit->addWidget(labLimit);
    limit->addSpacing(12);
    limit->addWidget(btnDecLim);
    limit->addWidget(labEnvLim);
    limit->addWidget(btnIncLim);
    auto* top = new QHBoxLayout;
    top->addWidget(imgEnvLim);
    top->addSpacing(12);
    top->addLayout(limit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    chkManifest = new QCheckBox(QStringLiteral("&Begleitliste schreiben"), this);
    chkManifest->setObjectName(QStringLiteral("chkManifest"));
    chkManifest->setToolTip(
        QStringLiteral("Neben jedem Export eine Liste der Kuverts (Zieldatei mit \".csv\")"));
    chkManifest->setChecked(cfg.manifest);
    layout->addWidget(chkManifest);
    QPushButton* const btnOK = AddDialogButtons(this, layout).btnOK;

    UpdateLimitButtons();
    chkEnvLim->setChecked(cfg.limitEnvelopes);

    connect(btnDecLim, &QToolButton::clicked, this, [this] { Step(-1); });
    connect(btnIncLim, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(btnOK, &QPushButton::clicked, this, &OrganizeDialog::Confirm);
}

void OrganizeDialog::Step(int delta)
{
    labEnvLim->setText(QString::number(labEnvLim->text().toInt() + delta));
    UpdateLimitButtons();
}

void OrganizeDialog::UpdateLimitButtons()
{
    constexpr const SettingDef& row = Catalogued("envlimit");
    const int v = labEnvLim->text().toInt();
    btnDecLim->setEnabled(v > row.min);
    btnIncLim->setEnabled(v < row.max);
}

void OrganizeDialog::Confirm()
{
    const OrganizeValues organize{labEnvLim->text().toInt(), chkEnvLim->isChecked(),
                                  chkManifest->isChecked()};
    if (MessageBox::Confirmed(this, ApplyOrganize(m_session, organize)))
        accept();
}

} // namespace kuvrion
