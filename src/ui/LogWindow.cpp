#include "LogWindow.h"

#include "Desktop.h"
#include "UiHelpers.h"
#include "ProgramFiles.h"
#include "app/Messages.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kuvrion {

LogWindow::LogWindow(const ProgramPaths& paths, const std::string& log, QWidget* parent)
    : QDialog(parent), m_paths(paths)
{
    setObjectName(QStringLiteral("LogWindow"));
    setWindowTitle(QStringLiteral("Protokoll anzeigen"));

    txtLog = new QPlainTextEdit(this);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The log's columns are tab-separated: a tab stop wide enough for a page number or an ID.
    txtLog->setTabStopDistance(txtLog->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 12);
    txtLog->setMinimumSize(txtLog->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 80,
                           txtLog->fontMetrics().lineSpacing() * 25);
    txtLog->setPlainText(FromCp1252(log));

    auto* buttons = new QDialogButtonBox(this);
    auto* btnEditor =
        buttons->addButton(QStringLiteral("Im &Editor öffnen"), QDialogButtonBox::ActionRole);
    btnEditor->setObjectName(QStringLiteral("btnEditor"));
    auto* btnClose = buttons->addButton(QStringLiteral("&Schließen"), QDialogButtonBox::RejectRole);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtLog, 1);
    layout->addWidget(buttons);

    connect(btnEditor, &QPushButton::clicked, this, &LogWindow::OpenInEditor);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void LogWindow::OpenInEditor()
{
    if (const auto log = LogFileToOpen(this, m_paths)) {
        if (!Desktop::OpenUrl(QUrl::fromLocalFile(FromPath(*log))))
            NoViewer(this, Action::ShowLog, *log);
    }
}

} // namespace kuvrion
