#include "WeekStrip.h"

#include "WeekDays.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDays = 7;
constexpr int kMinutesPerDay = 24 * 60;
constexpr int kRowHeight = 11;

QColor reasonColour(int band)
{
    static const QList<QColor> colours{QColor(0, 96, 192), QColor(192, 96, 0), QColor(0, 144, 64),
                                       QColor(144, 0, 144), QColor(96, 96, 96), QColor(160, 128, 0)};
    return colours.at(band % colours.size());
}

QString minuteText(int minuteOfWeek)
{
    const int minute = minuteOfWeek % kMinutesPerWeek;
    return u"%1 %2:%3"_s.arg(WeekDays::frenchName(minute / kMinutesPerDay + 1))
        .arg(minute % kMinutesPerDay / 60, 2, 10, QChar(u'0'))
        .arg(minute % 60, 2, 10, QChar(u'0'));
}

QString description(const QList<ForwardedStretch> &stretches)
{
    if (stretches.isEmpty())
        return u"Aucun renvoi planifié."_s;
    QStringList lines;
    for (const ForwardedStretch &stretch : stretches)
        lines << u"Renvoi (%1) vers %2 de %3 à %4"_s.arg(reasonName(stretch.reason), stretch.number,
                                                         minuteText(stretch.fromMinute), minuteText(stretch.toMinute));
    return lines.join(u"\n"_s);
}

} // namespace

WeekStrip::WeekStrip(QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(u"Semaine planifiée"_s);
    setFocusPolicy(Qt::TabFocus); // so that a screen reader reaches the description
    setMinimumHeight(sizeHint().height());
    setAccessibleDescription(description({}));
}

void WeekStrip::setRules(const QList<ScheduleRule> &rules)
{
    m_stretches = forwardedStretches(rules);
    m_reasons.clear();
    for (const ForwardedStretch &stretch : std::as_const(m_stretches)) {
        if (!m_reasons.contains(stretch.reason))
            m_reasons.append(stretch.reason);
    }
    const QString text = description(m_stretches);
    setAccessibleDescription(text);
    setToolTip(text);
    update();
}

QSize WeekStrip::sizeHint() const
{
    return {labelWidth() + 24 * 8, kDays * kRowHeight + 2};
}

int WeekStrip::labelWidth() const
{
    return fontMetrics().horizontalAdvance(u"mer "_s);
}

// A stretch that runs past midnight is drawn day by day by the caller.
QRectF WeekStrip::stretchRect(const QRect &hours, int day, int band, int bands, int from, int to) const
{
    const qreal perMinute = qreal(hours.width()) / kMinutesPerDay;
    const qreal bandHeight = qreal(kRowHeight - 2) / bands;
    return {hours.left() + from * perMinute, hours.top() + day * kRowHeight + 1 + band * bandHeight,
            (to - from) * perMinute, bandHeight};
}

void WeekStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect hours(labelWidth(), 0, width() - labelWidth() - 1, kDays * kRowHeight);
    painter.fillRect(hours, palette().base());
    QFont small = font();
    small.setPixelSize(kRowHeight - 2);
    painter.setFont(small);
    for (int day = 0; day < kDays; ++day)
        painter.drawText(QRect(0, day * kRowHeight, labelWidth(), kRowHeight), Qt::AlignVCenter,
                         WeekDays::frenchName(day + 1));
    for (const ForwardedStretch &stretch : std::as_const(m_stretches)) {
        const int band = int(m_reasons.indexOf(stretch.reason));
        for (int minute = stretch.fromMinute; minute < stretch.toMinute;) {
            const int inWeek = minute % kMinutesPerWeek;
            const int day = inWeek / kMinutesPerDay;
            const int dayEnd = std::min(stretch.toMinute - minute + inWeek % kMinutesPerDay, kMinutesPerDay);
            painter.fillRect(stretchRect(hours, day, band, int(m_reasons.size()), inWeek % kMinutesPerDay, dayEnd),
                             reasonColour(band));
            minute += dayEnd - inWeek % kMinutesPerDay;
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    for (int hour = 0; hour <= 24; hour += 6) {
        const int x = hours.left() + hours.width() * hour / 24;
        painter.drawLine(x, hours.top(), x, hours.bottom());
    }
    painter.drawRect(hours);
}
