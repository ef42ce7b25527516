#pragma once

#include "ForwardedHours.h"

#include <QWidget>

// The week at a glance, Monday to Sunday from top to bottom and midnight to
// midnight from left to right, shaded where the rules keep the line
// forwarded: one band per reason when the rules forward for several. A
// screen reader reads the same stretches as text.
class WeekStrip : public QWidget
{
    Q_OBJECT
public:
    explicit WeekStrip(QWidget *parent = nullptr);

    void setRules(const QList<ScheduleRule> &rules);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF stretchRect(const QRect &hours, int day, int band, int bands, int from, int to) const;
    int labelWidth() const;

    QList<ForwardedStretch> m_stretches;
    QList<ForwardingReason> m_reasons; // one band each, in order of appearance
};
