#pragma once

#include <QIntValidator>

// A blank's series or number: plain ASCII digits only, within the range. No
// group separators (a Russian locale would take "1 234 567"), no sign, so the
// same number can't be typed in two spellings and slip past the uniqueness check.
class BlankNumberValidator : public QIntValidator
{
    Q_OBJECT
public:
    BlankNumberValidator(int bottom, int top, QObject* parent);

    State validate(QString& input, int& pos) const override;
};
