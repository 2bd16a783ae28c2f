#pragma once
// A validator that checks the whole text of a line edit against a rule on every change, so
// pasted text meets the same rule as typed keys.

#include <QValidator>
#include <functional>

class RuleValidator : public QValidator {
public:
    RuleValidator(std::function<bool(const QString&)> rule, QObject* parent)
        : QValidator(parent), m_rule(std::move(rule)) {}
    State validate(QString& input, int&) const override {
        return m_rule(input) ? Acceptable : Invalid;
    }

private:
    std::function<bool(const QString&)> m_rule;
};
