#include "settings/ui/byte_limit_validator.h"

namespace rg {

ByteLimitValidator::ByteLimitValidator(std::size_t max_bytes, QObject* parent)
    : QValidator(parent), max_bytes_(max_bytes) {}

QValidator::State ByteLimitValidator::validate(QString& input, int& position) const {
    (void)position;
    return static_cast<std::size_t>(input.toUtf8().size()) <= max_bytes_ ? Acceptable : Invalid;
}

}  // namespace rg
