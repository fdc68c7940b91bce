// The organisation dialog "Seiten organisieren": the envelope page limit (1..5) with its switch.
// and the switch "Begleitliste schreiben". "&Ok" stores them; "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QToolButton;

namespace kuvrion {

class Session;

class OrganizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit OrganizeDialog(Session& session, QWidget* parent = nullptr);

private:
    void Step(int delta);
    void UpdateLimitButtons();
    void Confirm();

    Session& m_session;
    QToolButton* chkEnvLim = nullptr;
    QToolButton* btnDecLim = nullptr;
    QToolButton* btnIncLim = nullptr;
    QLabel* labEnvLim = nullptr;
    QCheckBox* chkManifest = nullptr;
};

} // namespace kuvrion
