#pragma once

#include <QString>

#include <stdexcept>

// A refused operation on a control: the error number the host code tests for,
// and its description as what() (UTF-8).
class ControlError : public std::runtime_error
{
public:
    ControlError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number)
    {
    }

    int number() const noexcept { return m_number; }
    QString description() const { return QString::fromUtf8(what()); }

    static ControlError overflow() { return {6, QStringLiteral("Dépassement de capacité")}; }
    static ControlError invalidPropertyValue()
    {
        return {380, QStringLiteral("Valeur de propriété non valide")};
    }

private:
    int m_number;
};
