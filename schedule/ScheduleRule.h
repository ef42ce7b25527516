#pragma once

#include "ForwardingReason.h"
#include "LineKind.h"
#include "OperationRequest.h"
#include "WeekDays.h"

#include <QStringList>
#include <QTime>

#include <optional>

// One rule of the weekly schedule: on these days at this time, forward the
// calls to a number or cancel the forwarding, on this port and line.
struct ScheduleRule
{
    int id = 0; // given when the rule is kept; names its timer
    WeekDays days;
    QTime at; // hours and minutes
    OperationRequest request;
    int port = 0;
    LineKind line = LineKind::Analog;

    bool forwards() const { return request.kind == OperationRequest::Kind::Forwarding; }
    QString atText() const; // "18:00"
    QString actionName() const; // "forward" or "cancel"
    // "renvoi vers 0612345678", "annulation (busy)": for a person.
    QString actionDescription() const;
    // What renvoliactl is given after its path: the action, the port, the
    // line and --quiet.
    QStringList ctlArguments() const;
    // "renvolia-3": the timer's and the task's name.
    QString unitName() const;
};

// A rule as typed, in the command's words or the window's fields.
struct RuleInput
{
    QString days;
    QString at;     // the configuration window's time forms
    QString action; // "forward" or "cancel"
    QString number;
    QString reason; // empty: all
    QString port;   // empty: the port in use (PortSetting::current)
    QString line;   // empty: the line kind in use
};

// The rule, or nothing with *problem saying in French what is wrong: days,
// time, number, reason, port, line, or a request the line cannot carry.
std::optional<ScheduleRule> ruleFrom(const RuleInput &input, QString *problem);
