// The dialog "Zufuhr": the rule of each selective feeder up to the number of feed bars, as a kind
// ("keine", "Text", "ID-Liste", "Blätter") and a value. "&Ok" stores the rules of section [feed]
// and keeps the dialog open when one is no rule; "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace kuvrion {

class Session;

class FeedRulesDialog : public QDialog {
    Q_OBJECT
public:
    // `feeders`: the feed bars the OME dialog shows (1..4).
    FeedRulesDialog(Session& session, int feeders, QWidget* parent = nullptr);

private:
    void Confirm();

    Session& m_session;
    int m_feeders;
    QComboBox* cboKind[4] = {};
    QLineEdit* txtRule[4] = {};
};

} // namespace kuvrion
