#include "PageTextDialog.h"

#include "UiHelpers.h"
#include "addressees/AdrKey.h"
#include "app/Messages.h"
#include "app/PageTextCommand.h"
#include "app/Session.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace kuvrion {

namespace {

constexpr char16_t kControlPictures = 0x2400; // U+2400 ␀ .. U+241F, U+2421 ␡

QString Visible(unsigned char byte)
{
    if (byte < 0x20)
        return QString(QChar(char16_t(kControlPictures + byte)));
    if (byte == 0x7f)
        return QString(QChar(char16_t(0x2421)));
    return FromCp1252(std::string(1, static_cast<char>(byte)));
}

} // namespace

QString VisiblePageText(const std::string& text)
{
    QString shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        shown += Visible(byte);
        if (byte == '\n')
            shown += QLatin1Char('\n');
    }
    return shown;
}

PageTextDialog::PageTextDialog(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("PageTextDialog"));
    setWindowTitle(QStringLiteral("Seitentext"));
    const std::int32_t pages = session.State().jobPages;

    auto* labPage = new QLabel(QStringLiteral("&Seite:"), this);
    spnPage = new QSpinBox(this);
    spnPage->setObjectName(QStringLiteral("spnPage"));
    spnPage->setRange(1, std::max(pages, 1));
    spnPage->setSuffix(QStringLiteral(" von %1").arg(pages));
    labPage->setBuddy(spnPage);
    txtPage = new QTextEdit(this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setReadOnly(true);
    // A page is often one long line: wrapped, the key found in it is in sight.
    txtPage->setLineWrapMode(QTextEdit::WidgetWidth);
    txtPage->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtPage->setFont(QFont(QStringLiteral("monospace")));
    txtPage->setMinimumSize(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 90,
                            fontMetrics().height() * 25);
    labOutcome = new QLabel(this);
    labOutcome->setObjectName(QStringLiteral("labOutcome"));
    labOutcome->setWordWrap(true);
    labOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(labPage);
    top->addWidget(spnPage);
    top->addStretch(1);
    auto* btnOK = new QPushButton(QStringLiteral("&Ok"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(txtPage, 1);
    layout->addWidget(labOutcome);
    layout->addLayout(bottom);

    connect(spnPage, &QSpinBox::valueChanged, this, &PageTextDialog::ShowPage);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    ShowPage(1);
}

void PageTextDialog::ShowPage(int page)
{
    const std::optional<PageView> view = ReadPageText(m_session, page);
    if (!view) {
        txtPage->clear();
        labOutcome->setText(QStringLiteral("Die Seite kann nicht gelesen werden."));
        return;
    }
    txtPage->setPlainText(VisiblePageText(view->text));

    // Every shown character stands for one byte, except that a line feed adds a line end: count
    // them to find where a byte position lands.
    const auto shownAt = [&view](std::int64_t pos) {
        const auto before = view->text.substr(0, static_cast<std::size_t>(pos));
        return static_cast<int>(pos + std::count(before.begin(), before.end(), '\n'));
    };
    const auto mark = [&](std::int64_t pos, std::int64_t len, const QColor& colour) {
        QTextCursor cursor(txtPage->document());
        cursor.setPosition(shownAt(pos));
        cursor.setPosition(shownAt(pos + len), QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setBackground(colour);
        cursor.mergeCharFormat(format);
    };
    if (const auto& marker = view->marker) {
        mark(marker->pos - 1, marker->len, QColor(255, 230, 120));
        if (!view->id.empty())
            mark(marker->pos - 1 + marker->len, static_cast<std::int64_t>(view->id.size()),
                 QColor(160, 230, 160));
        QTextCursor at(txtPage->document());
        at.setPosition(shownAt(marker->pos - 1));
        txtPage->setTextCursor(at);
        txtPage->ensureCursorVisible();
    }

    const QString outcome = QString::fromStdString(
        PageOutcomeText(view->fault, VisiblePageText(view->id).toStdString(), view->addressee));
    labOutcome->setText(outcome);
}

} // namespace kuvrion
