#include "ModemLoan.h"

#include "ModemManagerBus.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace {

const QString kRuleExample = u"/usr/share/doc/renvolia/examples/50-renvolia-modemmanager.rules"_s;

QString refusal(const ManagedModem &modem, const QString &error)
{
    return u"ModemManager refuse de prêter le modem %1 (%2). Autorisez l'action "
           "org.freedesktop.ModemManager1.Control : lancez la commande depuis votre session, où l'on vous "
           "demandera le mot de passe d'administrateur, ou, pour les lancements sans surveillance, copiez %3 "
           "dans /etc/polkit-1/rules.d/ : elle l'accorde aux membres du groupe dialout."_s
        .arg(modem.label(), error, kRuleExample);
}

} // namespace

ModemLoan::ModemLoan(QObject *parent)
    : ModemLoan(ModemManagerBus::systemBus(), {}, parent)
{
}

ModemLoan::ModemLoan(const QDBusConnection &bus, Timings timings, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_timings(timings)
{
    m_lookAgain.setSingleShot(true);
    m_lookAgain.setInterval(m_timings.lookAgain);
    m_returnLimit.setSingleShot(true);
    m_returnLimit.setInterval(m_timings.returnLimit);
    connect(&m_lookAgain, &QTimer::timeout, this, &ModemLoan::lookForReturn);
    connect(&m_returnLimit, &QTimer::timeout, this, [this] {
        endGivingBack(u"le modem %1 n'est pas revenu chez ModemManager en %2 s ; il reste désactivé"_s
                          .arg(m_modem.label())
                          .arg(m_timings.returnLimit.count() / 1000));
    });
}

void ModemLoan::setInteractive(bool interactive)
{
    m_interactive = interactive;
}

bool ModemLoan::borrow(const QString &devicePath)
{
    if (m_stage != Stage::Idle)
        return false;
    const bool asked = ModemManagerBus::listModems(m_bus, this, [this, devicePath](const QList<ManagedModem> &modems) {
        onModemFound(modems, devicePath);
    });
    if (asked)
        m_stage = Stage::Looking;
    return asked;
}

void ModemLoan::onModemFound(const QList<ManagedModem> &modems, const QString &devicePath)
{
    const std::optional<ManagedModem> modem = modemWithPort(modems, devicePath);
    if (!modem || m_giveBackAsked) {
        m_stage = Stage::Idle;
        if (m_giveBackAsked)
            endGivingBack({});
        else
            emit notManaged();
        return;
    }
    m_modem = *modem;
    m_stage = Stage::Inhibiting;
    ModemManagerBus::inhibit(m_bus, m_modem.device, true, m_interactive, this,
                             [this](const QDBusMessage &answer) { onInhibited(answer); });
}

void ModemLoan::onInhibited(const QDBusMessage &answer)
{
    if (answer.type() == QDBusMessage::ErrorMessage) {
        m_stage = Stage::Idle;
        if (m_giveBackAsked)
            endGivingBack({});
        else
            emit refused(refusal(m_modem, ModemManagerBus::errorText(answer)));
        return;
    }
    m_stage = Stage::Held;
    if (m_giveBackAsked)
        release();
    else
        emit lent();
}

void ModemLoan::giveBack()
{
    switch (m_stage) {
    case Stage::Idle:
        emit givenBack({});
        return;
    case Stage::Looking:
    case Stage::Inhibiting:
        m_giveBackAsked = true; // once ModemManager has answered
        return;
    case Stage::Held:
        release();
        return;
    default:
        return; // already on its way back
    }
}

void ModemLoan::release()
{
    m_stage = Stage::Releasing;
    ModemManagerBus::inhibit(m_bus, m_modem.device, false, m_interactive, this,
                             [this](const QDBusMessage &answer) { onReleased(answer); });
}

void ModemLoan::onReleased(const QDBusMessage &answer)
{
    if (answer.type() == QDBusMessage::ErrorMessage) {
        endGivingBack(u"ModemManager n'a pas repris le modem %1 (%2) ; il le reprendra à la fin du programme"_s.arg(
            m_modem.label(), ModemManagerBus::errorText(answer)));
        return;
    }
    if (!m_modem.isEnabled()) {
        endGivingBack({});
        return;
    }
    m_stage = Stage::AwaitingReturn;
    m_returnLimit.start();
    lookForReturn();
}

// ModemManager probes the device again before it shows the modem; until then
// it cannot be enabled.
void ModemLoan::lookForReturn()
{
    if (!ModemManagerBus::listModems(m_bus, this, [this](const QList<ManagedModem> &modems) { onReturnLooked(modems); }))
        endGivingBack(u"le bus système a disparu ; le modem %1 reste désactivé"_s.arg(m_modem.label()));
}

void ModemLoan::onReturnLooked(const QList<ManagedModem> &modems)
{
    if (m_stage != Stage::AwaitingReturn)
        return;
    const std::optional<ManagedModem> modem = modemOfDevice(modems, m_modem.device);
    if (!modem || !modem->isReady()) {
        m_lookAgain.start();
        return;
    }
    m_stage = Stage::Enabling;
    ModemManagerBus::enable(m_bus, modem->path, m_interactive, this,
                            [this](const QDBusMessage &answer) { onEnabled(answer); });
}

void ModemLoan::onEnabled(const QDBusMessage &answer)
{
    if (answer.type() == QDBusMessage::ErrorMessage)
        endGivingBack(u"ModemManager n'a pas réactivé le modem %1 (%2)"_s.arg(m_modem.label(),
                                                                          ModemManagerBus::errorText(answer)));
    else
        endGivingBack({});
}

void ModemLoan::endGivingBack(const QString &problem)
{
    m_lookAgain.stop();
    m_returnLimit.stop();
    m_stage = Stage::Idle;
    m_giveBackAsked = false;
    emit givenBack(problem);
}
