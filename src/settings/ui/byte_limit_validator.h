#pragma once

#include <QValidator>
#include <cstddef>

namespace rg {

// Refuses text whose UTF-8 form is longer than the core reads of the field, so that what the user
// typed is what is used: no character is dropped at the end and none is cut in half.
class ByteLimitValidator : public QValidator {
    Q_OBJECT

  public:
    ByteLimitValidator(std::size_t max_bytes, QObject* parent);

    State validate(QString& input, int& position) const override;

  private:
    std::size_t max_bytes_;
};

}  // namespace rg
