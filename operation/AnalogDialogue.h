#pragma once

#include "LineDialogue.h"

// A Hayes modem on a telephone line: dials the network's code for the
// request (ServiceCodes), counts "OK" anywhere in what came within the whole
// listening time as accepted, and hangs up after an accepted dial.
class AnalogDialogue final : public LineDialogue
{
public:
    QStringList setupCommands() const override;
    QString attemptCommand(const OperationRequest &request, QString *problem) const override;
    QString statusQuery(ForwardingReason reason) const override;
    ReplyVerdict judge(const QString &received, bool timeUp, bool query) const override;
    bool acceptedAttemptIsACall() const override;
};
