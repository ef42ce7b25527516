#include "ServiceCodes.h"

#include "PortSetting.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace ServiceCodes {
namespace {

QString standardCode(const QString &entry)
{
    static const QHash<QString, QString> codes{
        {u"all-forward"_s, u"*21*{number}#"_s},          {u"all-cancel"_s, u"#21#"_s},
        {u"busy-forward"_s, u"*67*{number}#"_s},         {u"busy-cancel"_s, u"#67#"_s},
        {u"no-reply-forward"_s, u"*61*{number}#"_s},     {u"no-reply-cancel"_s, u"#61#"_s},
        {u"not-reachable-forward"_s, u"*62*{number}#"_s}, {u"not-reachable-cancel"_s, u"#62#"_s},
        {u"every-cancel"_s, u"##002#"_s}};
    return codes.value(entry);
}

} // namespace

QString entryName(OperationRequest::Kind kind, ForwardingReason reason)
{
    return reasonName(reason) + (kind == OperationRequest::Kind::Forwarding ? u"-forward"_s : u"-cancel"_s);
}

QString code(OperationRequest::Kind kind, ForwardingReason reason)
{
    const QString entry = entryName(kind, reason);
    const QSettings store(PortSetting::storeLocation(), PortSetting::storeFormat());
    return store.value(kSection + u'/' + entry, standardCode(entry)).toString();
}

} // namespace ServiceCodes
