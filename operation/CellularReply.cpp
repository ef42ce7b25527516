#include "CellularReply.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString kCmeError = u"+CME ERROR:"_s;

struct CmeCode
{
    QString meaning;
    bool lasting = false; // retrying the same request cannot change the answer
};

// 3GPP TS 27.007 (9.2). A missing SIM, a code to enter or a request the modem
// or the network does not allow stay so until someone acts; the network's
// service, the SIM being busy or an unknown error may come right by themselves.
const QHash<int, CmeCode> &cmeCodes()
{
    static const QHash<int, CmeCode> codes{
        {0, {u"panne du téléphone"_s, false}},
        {1, {u"pas de liaison avec le téléphone"_s, false}},
        {2, {u"liaison avec l'adaptateur réservée"_s, false}},
        {3, {u"opération non autorisée"_s, true}},
        {4, {u"opération non prise en charge"_s, true}},
        {5, {u"code PH-SIM requis"_s, true}},
        {6, {u"code PH-FSIM requis"_s, true}},
        {7, {u"code PUK PH-FSIM requis"_s, true}},
        {10, {u"carte SIM absente"_s, true}},
        {11, {u"code PIN de la carte SIM requis"_s, true}},
        {12, {u"code PUK de la carte SIM requis"_s, true}},
        {13, {u"carte SIM défaillante"_s, true}},
        {14, {u"carte SIM occupée"_s, false}},
        {15, {u"mauvaise carte SIM"_s, true}},
        {16, {u"mot de passe incorrect"_s, true}},
        {17, {u"code PIN2 requis"_s, true}},
        {18, {u"code PUK2 requis"_s, true}},
        {26, {u"numéro trop long"_s, true}},
        {27, {u"caractères interdits dans le numéro"_s, true}},
        {30, {u"pas de service réseau"_s, false}},
        {31, {u"pas de réponse du réseau à temps"_s, false}},
        {32, {u"réseau refusé, appels d'urgence seulement"_s, false}},
        {40, {u"code PIN de personnalisation du réseau requis"_s, true}},
        {41, {u"code PUK de personnalisation du réseau requis"_s, true}},
        {42, {u"code PIN de personnalisation du sous-réseau requis"_s, true}},
        {43, {u"code PUK de personnalisation du sous-réseau requis"_s, true}},
        {44, {u"code PIN de personnalisation du fournisseur requis"_s, true}},
        {45, {u"code PUK de personnalisation du fournisseur requis"_s, true}},
        {46, {u"code PIN de personnalisation de l'entreprise requis"_s, true}},
        {47, {u"code PUK de personnalisation de l'entreprise requis"_s, true}},
        {48, {u"code PUK PH-SIM requis"_s, true}},
        {50, {u"paramètres incorrects"_s, true}},
        {100, {u"erreur inconnue"_s, false}}};
    return codes;
}

bool isEcho(const QString &line)
{
    return line.startsWith(u"AT"_s, Qt::CaseInsensitive);
}

} // namespace

CellularReply CellularReply::parse(const QString &received, bool complete)
{
    static const QRegularExpression lineEnd(u"[\r\n]"_s);
    QStringList pieces = received.split(lineEnd);
    if (!complete)
        pieces.removeLast(); // not ended yet
    CellularReply reply;
    for (const QString &piece : std::as_const(pieces)) {
        const QString line = piece.trimmed();
        if (line.isEmpty() || isEcho(line))
            continue;
        if (line == u"OK"_s || line == u"ERROR"_s || line.startsWith(kCmeError)) {
            reply.final = line == u"OK"_s ? Final::Ok : Final::Error;
            reply.finalLine = line;
            return reply;
        }
        reply.lines << line;
    }
    return reply;
}

std::optional<int> CellularReply::cmeError() const
{
    if (!finalLine.startsWith(kCmeError))
        return std::nullopt;
    bool numeric = false;
    const int code = finalLine.mid(kCmeError.size()).trimmed().toInt(&numeric);
    return numeric ? std::optional<int>(code) : std::nullopt;
}

QString CellularReply::errorDescription() const
{
    const std::optional<int> code = cmeError();
    const QString meaning = code ? cmeCodes().value(*code).meaning : QString();
    return meaning.isEmpty() ? finalLine : u"%1 (%2)"_s.arg(finalLine, meaning);
}

bool CellularReply::refusesForGood() const
{
    const std::optional<int> code = cmeError();
    return code && cmeCodes().value(*code).lasting;
}

QString visibleText(const QString &raw)
{
    QString text = raw;
    return u'"' + text.replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s) + u'"';
}
