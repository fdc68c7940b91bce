// Admits only text that Windows-1252 can hold, so a marker typed in the user interface reaches the
// settings and the key search exactly as typed.
#pragma once

#include <QValidator>

namespace kuvrion {

class Cp1252Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace kuvrion
