#include "ReferencePageDialog.h"

#include "FileDialog.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/ReferencePageCommand.h"
#include "base/FileChecks.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace kuvrion {

ReferencePageDialog::ReferencePageDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("ReferencePageDialog"));
    setWindowTitle(QStringLiteral("Referenzseite drucken"));
    loading = true;

    txtRefFile = new QLineEdit(this);
    txtRefFile->setObjectName(QStringLiteral("txtRefFile"));
    txtRefFile->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    auto* btnRefFile = NewPictureButton(this, QStringLiteral("btnRefFile"), QStringLiteral("open"));
    static const char* const kOptions[2] = {"&Rasterlinien (Abstand: 1 cm)", "OME-&Markierungen"};
    auto* options = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        chkRef[i] = NewPictureToggle(this, QStringLiteral("chkRef_%1").arg(i));
        auto* label = new QLabel(QString::fromUtf8(kOptions[i]), this);
        label->setObjectName(QStringLiteral("labR_%1").arg(i));
        label->setBuddy(chkRef[i]);
        options->addWidget(chkRef[i], i, 0);
        options->addWidget(label, i, 1);
    }
    options->setColumnStretch(1, 1);

    auto* file = new QHBoxLayout;
    file->addWidget(txtRefFile);
    file->addWidget(btnRefFile);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addLayout(options);
    labReason = NewReasonLabel(this);
    layout->addWidget(labReason);
    btnOK = AddDialogButtons(this, layout).btnOK;

    connect(txtRefFile, &QLineEdit::textChanged, this, &ReferencePageDialog::PathChanged);
    for (QToolButton* option : chkRef)
        connect(option, &QToolButton::toggled, this, &ReferencePageDialog::UpdateOkButton);
    connect(btnRefFile, &QToolButton::clicked, this, &ReferencePageDialog::ChooseFile);
    connect(btnOK, &QPushButton::clicked, this, &ReferencePageDialog::Confirm);

    const RefPageOptions stored = RefPageDefaults(session);
    txtRefFile->setText(FromPath(stored.path));
    PathChanged();
    chkRef[0]->setChecked(stored.grid);
    chkRef[1]->setChecked(stored.marks);
    loading = false;
    UpdateOkButton();
}

void ReferencePageDialog::PathChanged()
{
    pathOk = DirExists(ParentPath(ToPath(txtRefFile->text())));
    SetPathColour(txtRefFile, pathOk);
    UpdateOkButton();
}

void ReferencePageDialog::ChooseFile()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Referenzdatei bestimmen...");
    request.filters = {QStringLiteral("PCL-Jobs (*.pcl)"), QStringLiteral("Texte (*.txt *.asc)"),
                       QStringLiteral("Alle Dateien (*)")};
    request.fileName = txtRefFile->text();
    request.defaultSuffix = QStringLiteral("pcl");
    request.save = true;
    if (const auto chosen = FileDialog::Run(this, request)) {
        txtRefFile->setText(chosen->path);
        UpdateOkButton();
    }
}

void ReferencePageDialog::UpdateOkButton()
{
    if (loading)
        return;
    RefPageOptions options;
    options.path = ToPath(txtRefFile->text());
    options.grid = chkRef[0]->isChecked();
    options.marks = chkRef[1]->isChecked();
    ShowReason(labReason, btnOK, QString::fromStdString(RefPageReason(options)));
}

void ReferencePageDialog::Confirm()
{
    if (!btnOK->isEnabled())
        return;
    RefPageOptions options;
    options.path = ToPath(txtRefFile->text());
    options.grid = chkRef[0]->isChecked();
    options.marks = chkRef[1]->isChecked();
    // The command stores the choices, writes the job and tells how it went; the dialog closes
    // either way.
    RememberRefPageOptions(m_session, options);
    MessageBox::Tell(this, RunReferencePage(m_session, options));
    accept();
}

} // namespace kuvrion
