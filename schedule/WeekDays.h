#pragma once

#include <QString>

#include <optional>

// A set of days of the week, Monday (1) to Sunday (7) as Qt counts them.
class WeekDays
{
public:
    WeekDays() = default;
    static WeekDays every();

    // French abbreviations "lun mar mer jeu ven sam dim", ranges ("lun-ven",
    // "sam-lun" going round the week end), lists ("sam,dim") and "tous".
    static std::optional<WeekDays> parse(const QString &text);

    void add(int dayOfWeek);
    bool contains(int dayOfWeek) const;
    bool isEmpty() const { return m_bits == 0; }
    bool operator==(const WeekDays &other) const = default;

    // "lun-ven", "sam,dim", "lun,mer-ven", "tous": what parse() reads back.
    QString french() const;
    // The day part of systemd's OnCalendar=: "Mon..Fri", "Sat,Sun"; empty
    // for every day.
    QString systemd() const;
    // schtasks /D: "MON,TUE,WED".
    QString schtasks() const;

    static QString frenchName(int dayOfWeek); // "lun"

private:
    QString joined(const QStringList &names, const QString &rangeMark) const;

    unsigned m_bits = 0;
};
