#include "ForwardingReason.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Indexed by the reason's code.
const QStringList &reasonNames()
{
    static const QStringList names{u"all"_s,   u"busy"_s,  u"no-reply"_s, u"not-reachable"_s,
                                   u"every"_s, u"all-conditional"_s};
    return names;
}

} // namespace

QString reasonName(ForwardingReason reason)
{
    return reasonNames().value(static_cast<int>(reason));
}

std::optional<ForwardingReason> reasonNamed(const QString &name)
{
    const qsizetype code = reasonNames().indexOf(name);
    if (code < 0)
        return std::nullopt;
    return static_cast<ForwardingReason>(code);
}

QList<ForwardingReason> singleReasonsOf(ForwardingReason reason)
{
    using R = ForwardingReason;
    switch (reason) {
    case R::Every:
        return {R::All, R::Busy, R::NoReply, R::NotReachable};
    case R::AllConditional:
        return {R::Busy, R::NoReply, R::NotReachable};
    default:
        return {reason};
    }
}
