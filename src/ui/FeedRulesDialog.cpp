#include "FeedRulesDialog.h"

#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "base/ByteText.h"
#include "settings/FeedRule.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <string_view>

namespace kuvrion {

namespace {

// The kinds in the order of the list, with the prefix each stores.
constexpr std::array<std::pair<const char*, std::string_view>, 4> kKinds = {
    {{"keine", ""}, {"Text", "text:"}, {"ID-Liste", "ids:"}, {"Blätter", "sheets:"}}};

} // namespace

FeedRulesDialog::FeedRulesDialog(Session& session, int feeders, QWidget* parent)
    : QDialog(parent), m_session(session), m_feeders(std::clamp(feeders, 1, kFeeders))
{
    setObjectName(QStringLiteral("FeedRulesDialog"));
    setWindowTitle(QStringLiteral("Zufuhr"));
    auto* grid = new QGridLayout;
    const Settings& cfg = session.State().cfg;
    for (int k = 0; k < m_feeders; ++k) {
        cboKind[k] = new QComboBox(this);
        cboKind[k]->setObjectName(QStringLiteral("cboKind_%1").arg(k));
        for (const auto& [caption, prefix] : kKinds)
            cboKind[k]->addItem(QString::fromUtf8(caption));
        txtRule[k] = new QLineEdit(this);
        txtRule[k]->setObjectName(QStringLiteral("txtRule_%1").arg(k));
        txtRule[k]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("M")) * 24);
        // The stored text split into its kind and its value, shown as UTF-8.
        const std::string stored = FeedRuleSetting(cfg, k + 1);
        int kind = 0;
        for (int i = 1; i < static_cast<int>(kKinds.size()); ++i) {
            if (std::string_view(stored).starts_with(kKinds[static_cast<std::size_t>(i)].second))
                kind = i;
        }
        cboKind[k]->setCurrentIndex(kind);
        txtRule[k]->setText(QString::fromStdString(Cp1252ToUtf8(std::string_view(stored).substr(
            kKinds[static_cast<std::size_t>(kind)].second.size()))));
        txtRule[k]->setPlaceholderText(QStringLiteral("Rücksendeumschlag · beilage.txt · >=3"));
        connect(cboKind[k], &QComboBox::currentIndexChanged, txtRule[k],
                [this, k](int index) { txtRule[k]->setEnabled(index != 0); });
        txtRule[k]->setEnabled(kind != 0);
        auto* label = new QLabel(QStringLiteral("Zufuhr &%1").arg(k + 1), this);
        label->setBuddy(cboKind[k]);
        grid->addWidget(label, k, 0);
        grid->addWidget(cboKind[k], k, 1);
        grid->addWidget(txtRule[k], k, 2);
    }
    auto* hint = new QLabel(
        QStringLiteral("Text: eine Seite des Kuverts enthält den Text. ID-Liste: UTF-8-Datei mit "
                       "einer Adress-ID je Zeile (ohne Pfad: neben der Einstellungsdatei). "
                       "Blätter: >=, <= oder = und eine Zahl."),
        this);
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(hint);
    QPushButton* btnOK = AddDialogButtons(this, layout).btnOK;
    connect(btnOK, &QPushButton::clicked, this, &FeedRulesDialog::Confirm);
}

void FeedRulesDialog::Confirm()
{
    // Feeders beyond the bars the dialog shows keep their rules.
    std::array<std::string, 4> rules;
    for (int k = 0; k < kFeeders; ++k) {
        rules[static_cast<std::size_t>(k)] = FeedRuleSetting(m_session.State().cfg, k + 1);
    }
    for (int k = 0; k < m_feeders; ++k) {
        const auto kind = static_cast<std::size_t>(cboKind[k]->currentIndex());
        rules[static_cast<std::size_t>(k)] =
            kind == 0 ? std::string()
                      : std::string(kKinds[kind].second) +
                            Utf8ToCp1252(txtRule[k]->text().trimmed().toStdString());
    }
    if (MessageBox::Confirmed(this, ApplyFeedRules(m_session, rules)))
        accept();
}

} // namespace kuvrion
