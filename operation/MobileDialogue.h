#pragma once

#include "LineDialogue.h"

// A cellular modem: AT+CCFC of 3GPP TS 27.007 (7.11), after "ATE0" and
// "AT+CMEE=1". Listening ends at the final result code; no call is made.
class MobileDialogue final : public LineDialogue
{
public:
    QStringList setupCommands() const override;
    QString attemptCommand(const OperationRequest &request, QString *problem) const override;
    QString statusQuery(ForwardingReason reason) const override;
    ReplyVerdict judge(const QString &received, bool timeUp, bool query) const override;
    bool acceptedAttemptIsACall() const override;
};
