#include "LineDialogue.h"

#include "AnalogDialogue.h"
#include "MobileDialogue.h"

std::unique_ptr<LineDialogue> dialogueFor(LineKind kind)
{
    if (kind == LineKind::Mobile)
        return std::make_unique<MobileDialogue>();
    return std::make_unique<AnalogDialogue>();
}
