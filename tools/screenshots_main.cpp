// Renders every window headless into a folder, for the README, and fails
// when a window clips one of its texts:
//   renvolia-screenshots docs/
// It works in a temporary settings folder and registry store of its own.
#include "Clock.h"
#include "CommandLine.h"
#include "FrmAbout.h"
#include "FrmConfig.h"
#include "FrmGenerique.h"
#include "FrmPort.h"
#include "Journal.h"
#include "ModemSimulator.h"
#include "PortSetting.h"
#include "RuleStore.h"
#include "SqliteRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

class StandingClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 6), QTime(14, 59, 30)); }
};

// What a label, button or check box needs to show its text whole.
QSize textNeeds(const QWidget *widget, QString *text)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        *text = label->text();
        return label->wordWrap() ? QSize(0, label->heightForWidth(label->width())) : label->sizeHint();
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        *text = button->text();
        return button->sizeHint();
    }
    return {};
}

// The texts the window does not show whole, one line each.
QStringList clippedTexts(const QWidget *window)
{
    QStringList clipped;
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        QString text;
        const QSize needed = textNeeds(widget, &text);
        const bool fits = widget->width() >= needed.width() && widget->height() >= needed.height();
        if (text.isEmpty() || fits || !widget->isVisibleTo(window))
            continue;
        clipped << u"%1 \"%2\" needs %3 x %4, has %5 x %6"_s.arg(widget->objectName(), text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(widget->width())
                       .arg(widget->height());
    }
    return clipped;
}

bool save(QWidget *window, const QDir &folder, const QString &name)
{
    window->adjustSize();
    QApplication::processEvents();
    const QString file = folder.filePath(name);
    const bool saved = window->grab().save(file);
    QTextStream(stdout) << (saved ? u"wrote "_s : u"could not write "_s) << file << Qt::endl;
    const QStringList clipped = clippedTexts(window);
    for (const QString &line : clipped)
        QTextStream(stdout) << u"  clipped: "_s << line << Qt::endl;
    return saved && clipped.isEmpty();
}

void storeRegisteredUser(registry::RegistryApi &store)
{
    registry::Key key = 0;
    const std::string name = "Marie Dupont";
    if (store.createKey(registry::Users, ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info",
                        registry::AllKeyRights, &key) != registry::Success)
        return;
    store.setValue(key, "DefName", registry::RegSz, reinterpret_cast<const std::uint8_t *>(name.c_str()),
                   std::uint32_t(name.size() + 1));
    store.closeKey(key);
}

// Weekday evenings to a mobile, cancelled every morning, and what the
// journal kept of one evening.
void storeSchedule(const Clock &clock)
{
    QString problem;
    int id = 0;
    for (const RuleInput &input : {RuleInput{u"lun-ven"_s, u"18:00"_s, u"forward"_s, u"0612345678"_s, {}, u"3"_s, {}},
                                   RuleInput{u"tous"_s, u"08:00"_s, u"cancel"_s, {}, {}, u"3"_s, {}}}) {
        ScheduleRule rule = *ruleFrom(input, &problem);
        rule.id = ++id;
        RuleStore::save(rule);
    }
    const QDateTime evening(clock.now().date(), QTime(18, 0, 7));
    Journal::append(evening, u"3"_s, u"Echec du renvoi à 18:00:07"_s);
    Journal::append(evening.addSecs(10), u"3"_s, u"Renvoi effectué à 18:00:17"_s);
}

bool shootConfiguration(const QDir &folder, registry::RegistryApi &store, const Clock &clock)
{
    storeSchedule(clock);
    // One USB modem, whatever this machine has.
    const SerialDeviceList devices({SerialDevice{u"/dev/ttyACM0"_s, u"ttyACM0"_s, u"USR5637 56K Faxmodem"_s,
                                                 u"U.S.Robotics"_s, 0x0baf, 0x0303, u"0000001"_s, QString()}});
    FrmConfig config(clock, store, HelpFiles::forThisProgram(), devices);
    config.show();
    bool saved = save(&config, folder, u"configuration-parametres.png"_s);
    config.findChild<QTabWidget *>(u"tabConfig"_s)->setCurrentIndex(1);
    saved &= save(&config, folder, u"configuration-port.png"_s);
    PortSetting::setCurrentLine(LineKind::Mobile);
    config.findChild<QTabWidget *>(u"tabConfig"_s)->setCurrentIndex(2);
    saved &= save(&config, folder, u"configuration-planification.png"_s);
    PortSetting::setCurrentLine(LineKind::Analog);

    FrmPort port(PortSetting::current(), &config);
    port.show();
    saved &= save(&port, folder, u"port-dialog.png"_s);
    return saved;
}

bool shootAbout(const QDir &folder, registry::RegistryApi &store)
{
    storeRegisteredUser(store);
    FrmAbout about(store);
    about.show();
    return save(&about, folder, u"about.png"_s);
}

bool shootCommandLineMessage(const QDir &folder)
{
    QMessageBox box(QMessageBox::Critical, u"Renvolia"_s, invalidCommandLineMessage(), QMessageBox::Ok);
    box.show();
    return save(&box, folder, u"command-line-error.png"_s);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: renvolia-screenshots FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(settings.path()));
    registry::SqliteRegistry store(settings.filePath(u"registry.sqlite"_s).toStdString());
    const StandingClock clock;
    PortSetting::setCurrent(u"3"_s);

    // Every window is shot, even after one failed.
    bool saved = shootConfiguration(folder, store, clock);
    saved &= shootAbout(folder, store);
    saved &= shootCommandLineMessage(folder);

    ModemSimulator modem;
    if (!modem.open() || !modem.linkAsPort(3, settings.filePath(u"renvolia"_s))) {
        std::fputs("renvolia-screenshots: no pseudo-terminal for the modem\n", stderr);
        return 1;
    }
    FrmGenerique *report = FrmGenerique::launch(OperationRequest::forwarding(u"0612345678"_s),
                                                &PortSetting::current, systemClock(), {400ms, 200ms});
    auto *poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (report->findChild<QPushButton *>(u"cmdCancel"_s)->text() != u"Fermer"_s)
            return;
        saved &= save(report, folder, u"report-success.png"_s);
        QApplication::exit(saved ? 0 : 1);
    });
    poll->start(50);
    QTimer::singleShot(10000, &app, [] {
        std::fputs("renvolia-screenshots: the forwarding did not finish\n", stderr);
        QApplication::exit(1);
    });
    return QApplication::exec();
}
