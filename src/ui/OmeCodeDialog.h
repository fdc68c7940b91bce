// The OME code dialog "OME-Code": the two base patterns, the stop pattern, the five extra marks
// with the counts of the selective-feed and sequence-check bars, a preview of the bar column and
// the code length it gives, whether the sequence runs on across jobs, and "Zufuhr..." for the
// feeders' rules. "&Ok" stores the code settings; "Abbre&chen" changes nothing.
#pragma once

#include "settings/Settings.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace kuvrion {

class Session;

class OmeCodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit OmeCodeDialog(Session& session, QWidget* parent = nullptr);

private:
    int Count(int index) const;
    void Step(int index, int delta);
    void UpdateCountButtons(int index);
    // The settings as the dialog's switches and counts stand.
    Settings Choice() const;
    void RebuildPreview();
    void AddPreviewBar(const QString& caption);
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    QLineEdit* txtCode[3] = {};
    QToolButton* chkMark[5] = {};
    QToolButton* btnDec[2] = {};
    QToolButton* btnInc[2] = {};
    QLabel* labIncDec[2] = {};
    QCheckBox* chkSeqContinue = nullptr;
    QPushButton* btnFeed = nullptr;
    QLabel* labSum = nullptr;
    QLabel* labReason = nullptr;
    QPushButton* btnOK = nullptr;
    QVBoxLayout* m_barColumn = nullptr;
    std::vector<QLabel*> labBar;
};

} // namespace kuvrion
