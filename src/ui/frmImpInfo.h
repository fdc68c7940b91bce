// The import status dialog "Importstatus": the page total, the four fault counters and the assigned
// pages of the last import, each with a state picture. It changes nothing.
#pragma once

#include <QDialog>

namespace kuvrion {

class Commands;

class frmImpInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmImpInfo(Commands& commands, QWidget* parent = nullptr);
};

} // namespace kuvrion
