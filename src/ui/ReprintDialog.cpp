#include "ReprintDialog.h"

#include "FileDialog.h"
#include "MessageBox.h"
#include "UiHelpers.h"
#include "app/ReprintCommand.h"
#include "app/Session.h"
#include "base/ByteText.h"
#include "base/Platform.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>
#include <utility>

namespace kuvrion {

ReprintDialog::ReprintDialog(Session& session, CommandRunner runner, QWidget* parent)
    : QDialog(parent), m_session(session), m_runner(std::move(runner))
{
    setObjectName(QStringLiteral("ReprintDialog"));
    setWindowTitle(QStringLiteral("Nachdruck"));

    auto* labEnvelopes = new QLabel(QStringLiteral("&Kuverts (Nummer, Adressat, Blätter):"), this);
    lstEnvelopes = new QListWidget(this);
    lstEnvelopes->setObjectName(QStringLiteral("lstEnvelopes"));
    lstEnvelopes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    labEnvelopes->setBuddy(lstEnvelopes);
    for (const Envelope& e : FullExportEnvelopes(session)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1\t%2\t%3")
                                             .arg(e.number)
                                             .arg(QString::fromStdString(Cp1252ToUtf8(e.id)))
                                             .arg(e.sheets),
                                         lstEnvelopes);
        item->setData(Qt::UserRole, e.number);
    }
    FitListRows(lstEnvelopes);

    auto* labDst = new QLabel(QStringLiteral("&Zieldatei:"), this);
    txtDstFile = new QLineEdit(this);
    txtDstFile->setObjectName(QStringLiteral("txtDstFile"));
    labDst->setBuddy(txtDstFile);
    txtDstFile->setMinimumWidth(txtDstFile->fontMetrics().averageCharWidth() * 66); // a whole path
    const std::filesystem::path dst = PathFromUtf8(session.State().cfg.destinationFile);
    if (!dst.empty()) {
        std::filesystem::path again = dst;
        again.replace_filename(dst.stem().u8string() + u8"-nachdruck" + dst.extension().u8string());
        txtDstFile->setText(FromPath(PathToUtf8(again)));
    }
    auto* btnDstFile = new QToolButton(this);
    btnDstFile->setObjectName(QStringLiteral("btnDstFile"));
    btnDstFile->setText(QStringLiteral("..."));
    auto* dstRow = new QHBoxLayout;
    dstRow->addWidget(txtDstFile);
    dstRow->addWidget(btnDstFile);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labEnvelopes);
    layout->addWidget(lstEnvelopes);
    layout->addWidget(labDst);
    layout->addLayout(dstRow);
    // Open loop: the inserter then expects the values from the counter on, not the original ones.
    chkRenumber =
        new QCheckBox(QStringLiteral("Neu nummerieren (Folgeprüfung ab dem Zählerstand)"), this);
    chkRenumber->setObjectName(QStringLiteral("chkRenumber"));
    layout->addWidget(chkRenumber);
    QPushButton* const btnOK = AddDialogButtons(this, layout).btnOK;

    connect(btnDstFile, &QToolButton::clicked, this, &ReprintDialog::ChooseDestination);
    connect(btnOK, &QPushButton::clicked, this, &ReprintDialog::Confirm);
}

void ReprintDialog::reject()
{
    if (m_running) {
        m_runner.cancel();
        return;
    }
    QDialog::reject();
}

void ReprintDialog::ChooseDestination()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Nachdruck speichern unter...");
    request.filters = PclFileFilters();
    request.fileName = txtDstFile->text();
    request.defaultSuffix = QStringLiteral("pcl");
    request.save = true;
    if (const auto result = FileDialog::Run(this, request))
        txtDstFile->setText(result->path);
}

void ReprintDialog::Confirm()
{
    if (m_running)
        return;
    std::vector<bool> keep(static_cast<std::size_t>(lstEnvelopes->count()), false);
    bool any = false;
    for (const QListWidgetItem* item : lstEnvelopes->selectedItems()) {
        keep[static_cast<std::size_t>(item->data(Qt::UserRole).toInt() - 1)] = true;
        any = true;
    }
    if (!any || txtDstFile->text().isEmpty()) {
        MessageBox::Show(this, QStringLiteral("Bitte Kuverts und eine Zieldatei wählen."),
                         MessageKind::Warning);
        return;
    }
    ReprintRequest request;
    request.destination = ToPath(txtDstFile->text());
    request.envelopes = std::move(keep);
    request.renumber = chkRenumber->isChecked();
    if (m_session.DestinationFault(request.destination)) {
        MessageBox::Show(this, QStringLiteral("Die Zieldatei ist nicht gültig."),
                         MessageKind::Warning);
        return;
    }
    m_running = true;
    const Outcome exported = m_runner.run([this, &request] { return RunReprint(m_session, request); });
    m_running = false;
    if (exported.Ok() || exported.failure->what == FailureKind::CheckFailed)
        accept();
}

} // namespace kuvrion
