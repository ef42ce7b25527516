#include "TimerUnits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace TimerUnits {
namespace {

const QString kWants = u"timers.target.wants"_s;

// ExecStart= splits on blanks and expands "%" specifiers.
QString execWord(const QString &word)
{
    QString escaped = word;
    escaped.replace(u'%', u"%%"_s).replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return escaped.contains(u' ') ? u'"' + escaped + u'"' : escaped;
}

bool writeFile(const QString &path, const QString &text, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit())
        return true;
    *error = u"%1 : %2"_s.arg(path, file.errorString());
    return false;
}

QString timerPath(const QString &unitName)
{
    return folder() + u'/' + unitName + u".timer"_s;
}

QString servicePath(const QString &unitName)
{
    return folder() + u'/' + unitName + u".service"_s;
}

QString wantsLink(const QString &unitName)
{
    return folder() + u'/' + kWants + u'/' + unitName + u".timer"_s;
}

} // namespace

QString folder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + u"/.config"_s;
    return base + u"/systemd/user"_s;
}

QString onCalendar(const ScheduleRule &rule)
{
    const QString days = rule.days.systemd();
    return (days.isEmpty() ? QString() : days + u' ') + u"*-*-* "_s + rule.at.toString(u"HH:mm:ss"_s);
}

QString timerText(const ScheduleRule &rule)
{
    return uR"([Unit]
Description=Renvolia : %1 (%2 à %3)

[Timer]
OnCalendar=%4
Persistent=true

[Install]
WantedBy=timers.target
)"_s.arg(rule.actionDescription(), rule.days.french(), rule.atText(), onCalendar(rule));
}

QString serviceText(const ScheduleRule &rule, const QString &renvoliactl)
{
    QStringList command{execWord(renvoliactl)};
    for (const QString &argument : rule.ctlArguments())
        command << execWord(argument);
    return uR"([Unit]
Description=Renvolia : %1

[Service]
Type=oneshot
ExecStart=%2
)"_s.arg(rule.actionDescription(), command.join(u' '));
}

bool write(const ScheduleRule &rule, const QString &renvoliactl, QString *error)
{
    const QString name = rule.unitName();
    if (!QDir().mkpath(folder() + u'/' + kWants)) {
        *error = u"le dossier %1 n'a pas pu être créé"_s.arg(folder());
        return false;
    }
    if (!writeFile(servicePath(name), serviceText(rule, renvoliactl), error)
        || !writeFile(timerPath(name), timerText(rule), error))
        return false;
    QFile::remove(wantsLink(name));
    if (!QFile::link(timerPath(name), wantsLink(name))) {
        *error = u"le lien %1 n'a pas pu être créé"_s.arg(wantsLink(name));
        return false;
    }
    return true;
}

bool remove(const QString &unitName, QString *error)
{
    for (const QString &path : {wantsLink(unitName), timerPath(unitName), servicePath(unitName)}) {
        QFileInfo file(path);
        if ((file.exists() || file.isSymLink()) && !QFile::remove(path)) {
            *error = u"%1 n'a pas pu être supprimé"_s.arg(path);
            return false;
        }
    }
    return true;
}

} // namespace TimerUnits
