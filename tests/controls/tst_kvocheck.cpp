#include "ControlError.h"
#include "kvoCheck.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

QCheckBox *boxOf(const kvoCheck &chk)
{
    return chk.findChild<QCheckBox *>(u"Check1"_s);
}

QMetaProperty metaProperty(const char *name)
{
    return kvoCheck::staticMetaObject.property(kvoCheck::staticMetaObject.indexOfProperty(name));
}

} // namespace

class TestKvoCheck : public QObject
{
    Q_OBJECT

private slots:
    void settings_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("refusal");  // the error number; 0: accepted
        QTest::addColumn<QColor>("colour"); // the colour an accepted plain colour code gives
        QTest::addColumn<int>("role");      // the palette role an accepted system colour code takes its colour from
        QTest::addRow("plain BGR order fore") << "ForeColor"_ba << qint64(0x336699) << 0 << QColor(0x99, 0x66, 0x33) << -1;
        QTest::addRow("button face back") << "BackColor"_ba << qint64(0x8000000F) << 0 << QColor() << int(QPalette::Button);
        QTest::addRow("last system colour, tooltip back") << "BackColor"_ba << qint64(0x80000018) << 0 << QColor() << int(QPalette::ToolTipBase);
        QTest::addRow("plain colour with bit 24 refused") << "BackColor"_ba << qint64(0x010000FF) << 380 << QColor() << -1;
        QTest::addRow("system colour 0x19 unknown") << "BackColor"_ba << qint64(0x80000019) << 380 << QColor() << -1;
        QTest::addRow("value -1 refused") << "Value"_ba << qint64(-1) << 380 << QColor() << -1;
        QTest::addRow("value 3 refused") << "Value"_ba << qint64(3) << 380 << QColor() << -1;
        QTest::addRow("value 32767 refused") << "Value"_ba << qint64(32767) << 380 << QColor() << -1;
        QTest::addRow("value -32768 refused") << "Value"_ba << qint64(-32768) << 380 << QColor() << -1;
        QTest::addRow("value 32768 overflows") << "Value"_ba << qint64(32768) << 6 << QColor() << -1;
        QTest::addRow("alignment 2 refused") << "Alignment"_ba << qint64(2) << 380 << QColor() << -1;
        QTest::addRow("alignment -32769 overflows") << "Alignment"_ba << qint64(-32769) << 6 << QColor() << -1;
    }

    // A refused setting leaves the control and its box as they were, unnotified.
    // An accepted system colour comes from the check box class's palette, not
    // from the box's own, which holds the plain colours set before.
    void settings()
    {
        QFETCH(QByteArray, member);
        QFETCH(qint64, value);
        QFETCH(int, refusal);
        QFETCH(QColor, colour);
        QFETCH(int, role);
        kvoCheck chk;
        chk.ReadProperties({{u"Value"_s, 1}, {u"Alignment"_s, 1}, {u"BackColor"_s, 0x102030}, {u"ForeColor"_s, 0x405060}});
        QCheckBox *box = boxOf(chk);
        const QPalette palette = box->palette();
        const QVariant before = chk.property(member.constData());
        QSignalSpy spy(&chk, metaProperty(member.constData()).notifySignal());
        QVERIFY(spy.isValid());

        try {
            QVERIFY(chk.setProperty(member.constData(), value));
        } catch (const ControlError &error) {
            QCOMPARE(error.number(), refusal);
            QCOMPARE(error.description(), refusal == 6 ? u"Dépassement de capacité"_s : u"Valeur de propriété non valide"_s);
            QCOMPARE(chk.property(member.constData()), before);
            QCOMPARE(box->checkState(), Qt::Checked);
            QCOMPARE(box->layoutDirection(), Qt::RightToLeft);
            QCOMPARE(box->palette(), palette);
            QCOMPARE(spy.count(), 0);
            return;
        }
        QCOMPARE(refusal, 0);
        const QColor expected = role < 0 ? colour : QApplication::palette(box).color(QPalette::ColorRole(role));
        QCOMPARE(box->palette().color(member == "BackColor" ? QPalette::Window : QPalette::WindowText), expected);
        QCOMPARE(chk.property(member.constData()).value<quint32>(), quint32(value));
        QVERIFY(box->autoFillBackground());
    }

    // Every set is notified, even of the same value. A setting that differs from
    // its default is stored; reading puts back what was stored and the defaults
    // for the rest, the name standing for the caption.
    void notifiedStoredAndRead()
    {
        QWidget form;
        QFont ambient = form.font();
        ambient.setPointSize(19);
        form.setFont(ambient);
        QFont italic = ambient;
        italic.setItalic(true);
        const QVariantMap settings{{u"BackColor"_s, QVariant::fromValue(0x00FF00u)}, {u"ForeColor"_s, QVariant::fromValue(0x80000008u)},
                                   {u"Font"_s, italic}, {u"Alignment"_s, 1}, {u"Caption"_s, u"Annulation effectuée"_s}, {u"Value"_s, 2}};
        const QVariantMap defaults{{u"BackColor"_s, QVariant::fromValue(0x8000000Fu)}, {u"ForeColor"_s, QVariant::fromValue(0x80000012u)},
                                   {u"Font"_s, ambient}, {u"Alignment"_s, 0}, {u"Caption"_s, u"chkCible"_s}, {u"Value"_s, 0}};

        auto *source = new kvoCheck(&form); // made as Check1, then renamed
        source->setObjectName(u"chkSource"_s);
        source->ReadProperties({{u"Caption"_s, u"Check1"_s}});
        QVariantMap bag;
        source->WriteProperties(bag);
        QCOMPARE(bag, QVariantMap());
        for (auto setting = settings.cbegin(); setting != settings.cend(); ++setting) {
            const QByteArray name = setting.key().toLatin1();
            QSignalSpy spy(source, metaProperty(name.constData()).notifySignal());
            QVERIFY(source->setProperty(name.constData(), *setting) && source->setProperty(name.constData(), *setting));
            QCOMPARE(spy.count(), 2);
        }
        source->WriteProperties(bag);
        QCOMPARE(bag, settings);

        auto *target = new kvoCheck(&form);
        target->setObjectName(u"chkCible"_s);
        target->InitProperties(); // as a new instance: its name for caption
        QCOMPARE(boxOf(*target)->text(), u"chkCible"_s);
        for (const QVariantMap &read : {settings, QVariantMap()}) {
            target->ReadProperties(read);
            QCOMPARE(boxOf(*target)->checkState(), read.isEmpty() ? Qt::Unchecked : Qt::PartiallyChecked); // Value 2: grey
            for (auto setting = defaults.cbegin(); setting != defaults.cend(); ++setting)
                QCOMPARE(target->property(setting.key().toLatin1().constData()), read.value(setting.key(), *setting));
        }
    }

    // The box stretches over the control. With alignment 1 the box is on the
    // right: a click on the left end, past the short caption, misses it; a click
    // on the box is the user's, not notified.
    void boxFillsControl()
    {
        kvoCheck chk;
        chk.setCaption(u"A"_s);
        chk.setAlignment(1);
        QCOMPARE(chk.sizeHint(), boxOf(chk)->sizeHint());
        chk.resize(240, 30);
        chk.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chk));
        QCOMPARE(boxOf(chk)->geometry(), QRect(0, 0, 240, 30));
        QSignalSpy spy(&chk, &kvoCheck::ValueChanged);

        const int indicator = chk.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, boxOf(chk));
        QTest::mouseClick(boxOf(chk), Qt::LeftButton, {}, QPoint(indicator / 2, 15)); // the middle of the indicator's width
        QCOMPARE(chk.Value(), 0);
        QTest::mouseClick(boxOf(chk), Qt::LeftButton, {}, QPoint(239 - indicator / 2, 15));
        QCOMPARE(chk.Value(), 2);
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestKvoCheck)
#include "tst_kvocheck.moc"
