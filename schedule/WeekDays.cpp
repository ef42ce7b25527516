#include "WeekDays.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

const QStringList kFrench{u"lun"_s, u"mar"_s, u"mer"_s, u"jeu"_s, u"ven"_s, u"sam"_s, u"dim"_s};
const QStringList kEnglish{u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s, u"Sun"_s};
constexpr int kDays = 7;
const QString kEvery = u"tous"_s;

std::optional<int> dayNamed(const QString &name)
{
    const qsizetype index = kFrench.indexOf(name.trimmed().toLower());
    return index < 0 ? std::nullopt : std::optional<int>(int(index) + 1);
}

int following(int dayOfWeek)
{
    return dayOfWeek % kDays + 1;
}

} // namespace

WeekDays WeekDays::every()
{
    WeekDays days;
    for (int day = 1; day <= kDays; ++day)
        days.add(day);
    return days;
}

std::optional<WeekDays> WeekDays::parse(const QString &text)
{
    if (text.trimmed().compare(kEvery, Qt::CaseInsensitive) == 0)
        return every();
    WeekDays days;
    for (const QString &item : text.split(u',')) {
        const QStringList ends = item.split(u'-');
        const std::optional<int> first = dayNamed(ends.constFirst());
        const std::optional<int> last = dayNamed(ends.constLast());
        if (ends.size() > 2 || !first || !last)
            return std::nullopt;
        for (int day = *first; day != following(*last); day = following(day))
            days.add(day);
    }
    return days;
}

void WeekDays::add(int dayOfWeek)
{
    m_bits |= 1u << (dayOfWeek - 1);
}

bool WeekDays::contains(int dayOfWeek) const
{
    return (m_bits >> (dayOfWeek - 1)) & 1u;
}

// Three days or more in a row become a range; two stay a list.
QString WeekDays::joined(const QStringList &names, const QString &rangeMark) const
{
    QStringList parts;
    for (int day = 1; day <= kDays;) {
        if (!contains(day)) {
            ++day;
            continue;
        }
        int last = day;
        while (last < kDays && contains(last + 1))
            ++last;
        if (last - day >= 2)
            parts << names[day - 1] + rangeMark + names[last - 1];
        else
            for (int one = day; one <= last; ++one)
                parts << names[one - 1];
        day = last + 1;
    }
    return parts.join(u',');
}

QString WeekDays::french() const
{
    return *this == every() ? kEvery : joined(kFrench, u"-"_s);
}

QString WeekDays::systemd() const
{
    return *this == every() ? QString() : joined(kEnglish, u".."_s);
}

QString WeekDays::schtasks() const
{
    QStringList names;
    for (int day = 1; day <= kDays; ++day) {
        if (contains(day))
            names << kEnglish[day - 1].toUpper();
    }
    return names.join(u',');
}

QString WeekDays::frenchName(int dayOfWeek)
{
    return kFrench.value(dayOfWeek - 1);
}
