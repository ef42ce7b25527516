#include "ControlError.h"
#include "kvoCheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QCheckBox *boxOf(const kvoCheck &chk)
{
    return chk.findChild<QCheckBox *>(u"Check1"_s);
}

QMetaProperty metaProperty(const kvoCheck &chk, const char *name)
{
    return chk.metaObject()->property(chk.metaObject()->indexOfProperty(name));
}

void setMember(kvoCheck &chk, const QByteArray &member, qint64 value)
{
    if (member == "BackColor")
        chk.setBackColor(quint32(value));
    else if (member == "ForeColor")
        chk.setForeColor(quint32(value));
    else if (member == "Alignment")
        chk.setAlignment(int(value));
    else
        chk.setValue(int(value));
}

class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

const QByteArrayList SavedMembers = {"BackColor", "ForeColor", "Font", "Alignment", "Caption", "Value"};

} // namespace

class TestKvoCheck : public QObject
{
    Q_OBJECT

private slots:
    // members and the default member
    void membersInOrderWithDescriptions();
    void hwndIsOwnWindow();
    void valueIsDefaultMember();
    void acceptedValues_data();
    void acceptedValues();
    void refusedSettings_data();
    void refusedSettings();
    void colourCodes_data();
    void colourCodes();

    // notifications and user input
    void notifiesEverySet_data();
    void notifiesEverySet();
    void userInputNotReported();
    void refreshPaintsAtOnce();

    // design data
    void initPropertiesUsesName();
    void readAppliesDefaults();
    void writeSkipsDefaults();
    void writeStoresChanged_data();
    void writeStoresChanged();
    void roundTrip();
    void captionCheck1ReloadsAsName();

    // geometry
    void resizeStretchesBox();
    void alignmentPlacesBox_data();
    void alignmentPlacesBox();
};

void TestKvoCheck::membersInOrderWithDescriptions()
{
    const QMetaObject *mo = &kvoCheck::staticMetaObject;
    QByteArrayList properties;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        properties << mo->property(i).name();
    QCOMPARE(properties, QByteArrayList({"BackColor", "ForeColor", "Font", "Alignment", "Caption",
                                         "hwnd", "Value"}));
    QVERIFY(mo->indexOfMethod("Refresh()") >= 0);
    for (const QByteArray &member : properties + QByteArrayList{"Refresh"}) {
        const int info = mo->indexOfClassInfo(member.constData());
        QVERIFY2(info >= 0 && qstrlen(mo->classInfo(info).value()) > 0, member.constData());
    }
}

void TestKvoCheck::hwndIsOwnWindow()
{
    QWidget form;
    auto *chk = new kvoCheck(&form);
    QVERIFY(!metaProperty(*chk, "hwnd").isWritable());
    QVERIFY(chk->hwnd() != 0);
    QCOMPARE(chk->property("hwnd").value<qintptr>(), qintptr(chk->winId()));
    QVERIFY(chk->hwnd() != qintptr(form.winId()));
}

void TestKvoCheck::valueIsDefaultMember()
{
    kvoCheck chk;
    const QMetaObject *mo = chk.metaObject();
    QCOMPARE(mo->userProperty().name(), "Value");
    QCOMPARE(mo->classInfo(mo->indexOfClassInfo("DefaultProperty")).value(), "Value");

    QSignalSpy spy(&chk, &kvoCheck::ValueChanged);
    QVERIFY(spy.isValid());
    chk = 2;
    QCOMPARE(boxOf(chk)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(spy.count(), 1);

    boxOf(chk)->setCheckState(Qt::Checked);
    const int v = chk;
    QCOMPARE(v, 1);
}

void TestKvoCheck::acceptedValues_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<Qt::CheckState>("state");
    QTest::addRow("value 0 clear") << 0 << Qt::Unchecked;
    QTest::addRow("value 1 ticked") << 1 << Qt::Checked;
    QTest::addRow("value 2 grey") << 2 << Qt::PartiallyChecked;
}

void TestKvoCheck::acceptedValues()
{
    QFETCH(int, value);
    QFETCH(Qt::CheckState, state);
    kvoCheck chk;
    chk.setValue(value);
    QCOMPARE(boxOf(chk)->checkState(), state);
    QCOMPARE(chk.Value(), value);
}

void TestKvoCheck::refusedSettings_data()
{
    QTest::addColumn<QByteArray>("member");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    const QString invalid = u"Valeur de propriété non valide"_s;
    const QString overflow = u"Dépassement de capacité"_s;
    QTest::addRow("value -1 refused") << "Value"_ba << qint64(-1) << 380 << invalid;
    QTest::addRow("value 3 refused") << "Value"_ba << qint64(3) << 380 << invalid;
    QTest::addRow("value 32767 refused") << "Value"_ba << qint64(32767) << 380 << invalid;
    QTest::addRow("value 32768 overflows") << "Value"_ba << qint64(32768) << 6 << overflow;
    QTest::addRow("value 40000 overflows") << "Value"_ba << qint64(40000) << 6 << overflow;
    QTest::addRow("value -40000 overflows") << "Value"_ba << qint64(-40000) << 6 << overflow;
    QTest::addRow("alignment 2 refused") << "Alignment"_ba << qint64(2) << 380 << invalid;
    QTest::addRow("alignment -32769 overflows") << "Alignment"_ba << qint64(-32769) << 6 << overflow;
    QTest::addRow("plain colour with bit 24") << "BackColor"_ba << qint64(0x010000FF) << 380 << invalid;
    QTest::addRow("plain colour with bit 30") << "ForeColor"_ba << qint64(0x40000000) << 380 << invalid;
    QTest::addRow("system colour 0x19 unknown") << "BackColor"_ba << qint64(0x80000019) << 380 << invalid;
    QTest::addRow("system colour all bits") << "ForeColor"_ba << qint64(0xFFFFFFFF) << 380 << invalid;
}

void TestKvoCheck::refusedSettings()
{
    QFETCH(QByteArray, member);
    QFETCH(qint64, value);
    QFETCH(int, number);
    QFETCH(QString, description);
    kvoCheck chk;
    chk.setValue(1);
    chk.setAlignment(1);
    chk.setBackColor(0x00102030);
    chk.setForeColor(0x00405060);
    QCheckBox *box = boxOf(chk);
    const QPalette palette = box->palette();
    const QVariant before = chk.property(member.constData());
    QSignalSpy spy(&chk, metaProperty(chk, member.constData()).notifySignal());
    QVERIFY(spy.isValid());

    try {
        setMember(chk, member, value);
        QFAIL("not refused");
    } catch (const ControlError &error) {
        QCOMPARE(error.number(), number);
        QCOMPARE(error.description(), description);
    }
    QCOMPARE(chk.property(member.constData()), before);
    QCOMPARE(box->checkState(), Qt::Checked);
    QCOMPARE(box->layoutDirection(), Qt::RightToLeft);
    QCOMPARE(box->palette(), palette);
    QCOMPARE(spy.count(), 0);
}

void TestKvoCheck::colourCodes_data()
{
    QTest::addColumn<QByteArray>("member");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QColor>("plain");
    QTest::addColumn<int>("systemRole");
    QTest::addRow("plain red back") << "BackColor"_ba << 0x000000FFu << QColor(255, 0, 0) << -1;
    QTest::addRow("plain BGR order fore") << "ForeColor"_ba << 0x00336699u << QColor(0x99, 0x66, 0x33) << -1;
    QTest::addRow("button face back") << "BackColor"_ba << 0x8000000Fu << QColor() << int(QPalette::Button);
    QTest::addRow("button text fore") << "ForeColor"_ba << 0x80000012u << QColor() << int(QPalette::ButtonText);
    QTest::addRow("window background back") << "BackColor"_ba << 0x80000005u << QColor() << int(QPalette::Base);
    QTest::addRow("window text fore") << "ForeColor"_ba << 0x80000008u << QColor() << int(QPalette::Text);
    QTest::addRow("menu back") << "BackColor"_ba << 0x80000004u << QColor() << int(QPalette::Window);
    QTest::addRow("menu text fore") << "ForeColor"_ba << 0x80000007u << QColor() << int(QPalette::WindowText);
}

void TestKvoCheck::colourCodes()
{
    QFETCH(QByteArray, member);
    QFETCH(quint32, code);
    QFETCH(QColor, plain);
    QFETCH(int, systemRole);
    kvoCheck chk;
    QCheckBox *box = boxOf(chk);
    const QColor expected = systemRole < 0
            ? plain : QApplication::palette(box).color(QPalette::ColorRole(systemRole));
    // a plain colour first: system colours must not come from the box's own palette
    setMember(chk, member, 0x00010203);
    setMember(chk, member, code);

    const auto role = member == "BackColor" ? QPalette::Window : QPalette::WindowText;
    QCOMPARE(box->palette().color(role), expected);
    QCOMPARE(chk.property(member.constData()).value<quint32>(), code);
    QVERIFY(box->autoFillBackground());
}

void TestKvoCheck::notifiesEverySet_data()
{
    QTest::addColumn<QByteArray>("member");
    QTest::addColumn<QVariant>("value");
    QFont font = QApplication::font();
    font.setPointSize(23);
    font.setItalic(true);
    QTest::addRow("BackColor") << "BackColor"_ba << QVariant::fromValue(quint32(0x00FF00));
    QTest::addRow("ForeColor") << "ForeColor"_ba << QVariant::fromValue(quint32(0x80000008));
    QTest::addRow("Font") << "Font"_ba << QVariant(font);
    QTest::addRow("Alignment") << "Alignment"_ba << QVariant(1);
    QTest::addRow("Caption") << "Caption"_ba << QVariant(u"Annulation effectuée"_s);
    QTest::addRow("Value") << "Value"_ba << QVariant(2);
}

void TestKvoCheck::notifiesEverySet()
{
    QFETCH(QByteArray, member);
    QFETCH(QVariant, value);
    kvoCheck chk;
    const QMetaProperty property = metaProperty(chk, member.constData());
    QSignalSpy spy(&chk, property.notifySignal());
    QVERIFY(spy.isValid());
    QVERIFY(property.write(&chk, value));
    QVERIFY(property.write(&chk, value));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(property.read(&chk), value);
}

void TestKvoCheck::userInputNotReported()
{
    kvoCheck chk;
    chk.setCaption(u"Annulation"_s);
    chk.resize(200, 30);
    chk.show();
    chk.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chk));
    QCheckBox *box = boxOf(chk);
    QSignalSpy clicks(box, &QCheckBox::stateChanged);
    QSignalSpy spy(&chk, &kvoCheck::ValueChanged);
    QVERIFY(clicks.isValid() && spy.isValid());

    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(indicator / 2, box->height() / 2));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(box->checkState(), Qt::PartiallyChecked);
    QCOMPARE(chk.Value(), 2);

    chk.setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(chk.Value(), 1);
    QCOMPARE(spy.count(), 0);
}

void TestKvoCheck::refreshPaintsAtOnce()
{
    kvoCheck chk;
    chk.resize(120, 24);
    chk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chk));
    PaintCounter paints;
    boxOf(chk)->installEventFilter(&paints);
    QVERIFY(QMetaObject::invokeMethod(&chk, "Refresh"));
    QVERIFY(paints.count > 0);
}

void TestKvoCheck::initPropertiesUsesName()
{
    kvoCheck chk;
    chk.setObjectName(u"chkNouveau"_s);
    chk.InitProperties();
    QCOMPARE(boxOf(chk)->text(), u"chkNouveau"_s);
}

void TestKvoCheck::readAppliesDefaults()
{
    QWidget form;
    QFont ambient = form.font();
    ambient.setPointSize(19);
    form.setFont(ambient);
    auto *chk = new kvoCheck(&form);
    chk->setObjectName(u"chkAnnulation"_s);
    chk->ReadProperties({{u"BackColor"_s, 0xFF}, {u"ForeColor"_s, 0xFF00}, {u"Alignment"_s, 1},
                         {u"Caption"_s, u"Autre"_s}, {u"Value"_s, 2}});

    chk->ReadProperties({});
    QCOMPARE(chk->BackColor(), 0x8000000Fu);
    QCOMPARE(chk->ForeColor(), 0x80000012u);
    QCOMPARE(boxOf(*chk)->font(), ambient);
    QCOMPARE(chk->Alignment(), 0);
    QCOMPARE(boxOf(*chk)->text(), u"chkAnnulation"_s);
    QCOMPARE(boxOf(*chk)->checkState(), Qt::Unchecked);
}

void TestKvoCheck::writeSkipsDefaults()
{
    kvoCheck chk;
    chk.setObjectName(u"Check1"_s);
    chk.ReadProperties({});
    QVariantMap bag;
    chk.WriteProperties(bag);
    QCOMPARE(bag, QVariantMap());
}

void TestKvoCheck::writeStoresChanged_data()
{
    notifiesEverySet_data();
}

void TestKvoCheck::writeStoresChanged()
{
    QFETCH(QByteArray, member);
    QFETCH(QVariant, value);
    kvoCheck chk;
    chk.setObjectName(u"Check1"_s);
    chk.ReadProperties({});
    QVERIFY(chk.setProperty(member.constData(), value));
    QVariantMap bag;
    chk.WriteProperties(bag);
    QCOMPARE(bag, QVariantMap({{QString::fromLatin1(member), value}}));
}

void TestKvoCheck::roundTrip()
{
    kvoCheck source;
    source.setObjectName(u"chkSource"_s);
    QFont font = source.font();
    font.setPointSize(17);
    font.setBold(true);
    source.ReadProperties({{u"BackColor"_s, 0x00C0FFEE}, {u"ForeColor"_s, 0x80000008},
                           {u"Font"_s, font}, {u"Alignment"_s, 1},
                           {u"Caption"_s, u"Reçu imprimé"_s}, {u"Value"_s, 2}});
    QVariantMap bag;
    source.WriteProperties(bag);
    QCOMPARE(bag.size(), SavedMembers.size());

    kvoCheck target;
    target.setObjectName(u"chkCible"_s);
    target.ReadProperties(bag);
    for (const QByteArray &member : SavedMembers)
        QCOMPARE(target.property(member.constData()), source.property(member.constData()));
}

void TestKvoCheck::captionCheck1ReloadsAsName()
{
    kvoCheck source;
    source.setObjectName(u"chkAnnulation"_s);
    source.setCaption(u"Check1"_s);
    QVariantMap bag;
    source.WriteProperties(bag);
    QVERIFY(!bag.contains(u"Caption"_s));

    kvoCheck target;
    target.setObjectName(u"chkCopie"_s);
    target.ReadProperties(bag);
    QCOMPARE(boxOf(target)->text(), u"chkCopie"_s);
}

void TestKvoCheck::resizeStretchesBox()
{
    kvoCheck chk;
    chk.setCaption(u"Annulation effectuée"_s);
    QCOMPARE(chk.sizeHint(), boxOf(chk)->sizeHint());
    chk.resize(173, 41);
    chk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chk));
    QCOMPARE(boxOf(chk)->geometry(), QRect(0, 0, 173, 41));
    chk.resize(60, 90);
    QCOMPARE(boxOf(chk)->geometry(), QRect(0, 0, 60, 90));
}

void TestKvoCheck::alignmentPlacesBox_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("boxOnRight");
    QTest::addRow("alignment 0, box on the left") << 0 << false;
    QTest::addRow("alignment 1, box on the right") << 1 << true;
}

void TestKvoCheck::alignmentPlacesBox()
{
    QFETCH(int, alignment);
    QFETCH(bool, boxOnRight);
    kvoCheck chk;
    chk.setCaption(u"A"_s);
    chk.setAlignment(alignment);
    chk.resize(240, 30);
    chk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chk));
    QCheckBox *box = boxOf(chk);
    QSignalSpy clicks(box, &QCheckBox::stateChanged);
    QVERIFY(clicks.isValid());

    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
    const QPoint left(indicator / 2, box->height() / 2);
    const QPoint right(box->width() - 1 - indicator / 2, box->height() / 2);
    QTest::mouseClick(box, Qt::LeftButton, {}, boxOnRight ? left : right);
    QCOMPARE(clicks.count(), 0);
    QTest::mouseClick(box, Qt::LeftButton, {}, boxOnRight ? right : left);
    QCOMPARE(clicks.count(), 1);
}

QTEST_MAIN(TestKvoCheck)
#include "tst_kvocheck.moc"
