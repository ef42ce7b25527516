#include "ForwardedHours.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace {

struct Event
{
    int minute = 0;
    const ScheduleRule *rule = nullptr;
};

QList<Event> eventsOfTheWeek(const QList<ScheduleRule> &rules)
{
    QList<Event> events;
    for (const ScheduleRule &rule : rules) {
        for (int day = 1; day <= 7; ++day) {
            if (rule.days.contains(day))
                events.append({(day - 1) * 24 * 60 + rule.at.hour() * 60 + rule.at.minute(), &rule});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.minute < b.minute; });
    return events;
}

bool cancellationCovers(ForwardingReason cancelled, ForwardingReason forwarded)
{
    using R = ForwardingReason;
    if (cancelled == R::Every || cancelled == forwarded)
        return true;
    return cancelled == R::AllConditional && (forwarded == R::Busy || forwarded == R::NoReply || forwarded == R::NotReachable);
}

struct Open
{
    QString number;
    int since = 0;
};

} // namespace

// The week is walked twice: the first pass finds what is still forwarded
// when the week starts again, the second records each stretch as it ends (a
// forwarding never cancelled ends at its own next run, a week later).
QList<ForwardedStretch> forwardedStretches(const QList<ScheduleRule> &rules)
{
    const QList<Event> events = eventsOfTheWeek(rules);
    std::map<ForwardingReason, Open> open;
    QList<ForwardedStretch> stretches;
    for (int pass = 0; pass < 2; ++pass) {
        for (const Event &event : events) {
            const int minute = event.minute + pass * kMinutesPerWeek;
            const OperationRequest &request = event.rule->request;
            for (auto it = open.begin(); it != open.end();) {
                const bool ends = event.rule->forwards() ? it->first == request.reason
                                                         : cancellationCovers(request.reason, it->first);
                if (ends && pass == 1 && it->second.since < minute) {
                    const int shift = it->second.since >= kMinutesPerWeek ? kMinutesPerWeek : 0;
                    stretches.append({it->first, it->second.number, it->second.since - shift, minute - shift});
                }
                it = ends ? open.erase(it) : std::next(it);
            }
            if (event.rule->forwards())
                open[request.reason] = {request.number, minute};
        }
    }
    return stretches;
}
