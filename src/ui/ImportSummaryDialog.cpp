#include "ImportSummaryDialog.h"

#include "ImageList.h"
#include "app/Session.h"
#include "app/ImportSummary.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace kuvrion {

ImportSummaryDialog::ImportSummaryDialog(Session& session, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportSummaryDialog"));
    setWindowTitle(QStringLiteral("Importstatus"));
    const AppState& state = session.State();

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    auto* heading = new QLabel(QStringLiteral("Seiten"), this);
    heading->setObjectName(QStringLiteral("labHead"));
    heading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(heading, 0, 1);

    int gridRow = 1;
    auto separator = [&] {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        grid->addWidget(line, gridRow++, 0, 1, 3);
    };
    auto row = [&](int index, const QString& caption, std::int32_t number, const QString& key) {
        auto* labErr = new QLabel(caption, this);
        labErr->setObjectName(QStringLiteral("labErr_%1").arg(index));
        labErr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* labPgs = new QLabel(QString::number(number), this);
        labPgs->setObjectName(QStringLiteral("labPgs_%1").arg(index));
        labPgs->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        labPgs->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
        auto* imgErr = new QLabel(this);
        imgErr->setObjectName(QStringLiteral("imgErr_%1").arg(index));
        SetLabelImage(imgErr, key, QSize(16, 16));
        grid->addWidget(labErr, gridRow, 0);
        grid->addWidget(labPgs, gridRow, 1);
        grid->addWidget(imgErr, gridRow, 2);
        ++gridRow;
    };
    const QString error = QStringLiteral("error");
    const QString done = QStringLiteral("done");

    row(5, QStringLiteral("Gesamt:"), state.jobPages, QStringLiteral("pages"));
    separator();
    for (const KeyFaultRow& r : KeyFaultRows(state))
        row(r.kind, QString::fromStdString(r.caption), r.pages, r.fault ? error : done);
    separator();
    row(4, QStringLiteral("Zugewiesen:"), state.assignedPages,
        state.assignedPages != 0 ? done : error);

    auto* btnOK = new QPushButton(QStringLiteral("&Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    grid->addWidget(btnOK, gridRow, 0, 1, 3, Qt::AlignHCenter);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace kuvrion
