#pragma once

#include "ScheduleRule.h"

#include <QList>

// The schedule's rules, kept per user beside the port setting, in its section
// "Planification" (one group per rule, named by its id).
namespace RuleStore {

// A rule edited by hand into something that no longer reads: its id, and
// what is wrong in French.
struct UnreadableRule
{
    int id = 0;
    QString problem;
};

QList<ScheduleRule> load(); // by id
QList<UnreadableRule> unreadable(); // by id
std::optional<ScheduleRule> find(int id);
bool holds(int id); // a rule, readable or not
int nextId(); // one more than any id ever given
// False when the store could not be written.
bool save(const ScheduleRule &rule);
bool remove(int id);

// Whether the person has been told once that a rule runs while nobody is
// logged in only with lingering.
bool lingerNoteGiven();
void setLingerNoteGiven();

} // namespace RuleStore
