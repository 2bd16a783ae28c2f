#pragma once
// A box that refuses any edit, typed, pasted or dropped, whose result breaks its text rule. Typing
// a refused character therefore has no effect, and neither has pasting text that holds one.

#include <QValidator>
#include <functional>

class TextRuleValidator : public QValidator {
public:
    using Rule = std::function<bool(QStringView)>;
    TextRuleValidator(Rule rule, QObject* parent) : QValidator(parent), m_rule(std::move(rule)) {}

    State validate(QString& input, int&) const override {
        return m_rule(input) ? Acceptable : Invalid;
    }

private:
    Rule m_rule;
};
