// The import status dialog "Importstatus": the page total, the four fault counters and the assigned
// pages of the last import, each with a state picture. It changes nothing.
#pragma once

#include <QDialog>

namespace kuvrion {

class Session;

class ImportSummaryDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportSummaryDialog(Session& session, QWidget* parent = nullptr);
};

} // namespace kuvrion
