#include "frontend/qt/dialog_units.h"

#include <QLineEdit>
#include <QValidator>

namespace {

// Hex digits only, at most four, shown in capitals as they are typed.
class HexValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        for (QChar c : input)
            if (!c.isDigit() && (c < 'A' || c > 'F'))
                return Invalid;
        return input.size() <= 4 ? Acceptable : Invalid;
    }
};

} // namespace

QLineEdit* hex_edit(QWidget* parent, QRect where)
{
    auto* e = new QLineEdit(parent);
    e->setGeometry(where);
    e->setMaxLength(4);
    e->setValidator(new HexValidator(e));
    return e;
}
