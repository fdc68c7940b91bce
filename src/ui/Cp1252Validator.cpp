#include "Cp1252Validator.h"

#include "base/ByteText.h"

namespace kuvrion {

QValidator::State Cp1252Validator::validate(QString& input, int& /*pos*/) const
{
    return FitsCp1252(input.toStdString()) ? Acceptable : Invalid;
}

} // namespace kuvrion
