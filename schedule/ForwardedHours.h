#pragma once

#include "ScheduleRule.h"

#include <QList>

// The stretches of the week during which the rules keep the line forwarded,
// per reason: a forwarding starts one for its reason, a cancellation ends the
// forwardings it covers ("every" all of them, "all-conditional" the three
// conditional ones and itself). The week wraps round: what Sunday evening
// forwards still holds on Monday morning.
struct ForwardedStretch
{
    ForwardingReason reason = ForwardingReason::All;
    QString number;
    int fromMinute = 0; // of the week, Monday 00:00 being 0
    int toMinute = 0;   // exclusive; may pass the week's end and wrap
};

constexpr int kMinutesPerWeek = 7 * 24 * 60;

QList<ForwardedStretch> forwardedStretches(const QList<ScheduleRule> &rules);
