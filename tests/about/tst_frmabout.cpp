#include "FrmAbout.h"
#include "OverlappingWidgets.h"
#include "RecordingXdgOpen.h"
#include "ScratchStore.h"
#include "ShellOpen.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void load_showsItsLinesUncut_data();
    void load_showsItsLinesUncut();
    void links_openTheirAddressOnly_enterCloses();
};

void TestFrmAbout::load_showsItsLinesUncut_data()
{
    QTest::addColumn<QByteArray>("valueName"); // empty: no setup key at all
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addRow("accented name stored") << "DefName"_ba << u"Hélène Dupré"_s << u"Hélène Dupré"_s;
    QTest::addRow("254 bytes and terminator fit") << "DefName"_ba << QString(254, u'n') << QString(254, u'n');
    QTest::addRow("255 bytes and terminator do not fit") << "DefName"_ba << QString(255, u'n') << QString();
    QTest::addRow("accents past 255 bytes do not fit") << "DefName"_ba << QString(128, u'é') << QString();
    QTest::addRow("value missing") << "DefCompany"_ba << u"Kelvo"_s << QString();
    QTest::addRow("key missing") << QByteArray() << QString() << QString();
}

// The version information, and the registered user's name as setup programs
// store it: system text with its terminator. Every line is shown whole.
void TestFrmAbout::load_showsItsLinesUncut()
{
    QFETCH(QByteArray, valueName);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    ScratchStore store;
    if (!valueName.isEmpty()) {
        const std::string text = store.api.toSystemText(stored.toStdString());
        store.put(registry::Users, ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info", valueName.toStdString(),
                  registry::RegSz, QByteArray(text.c_str(), qsizetype(text.size()) + 1));
    }
    FrmAbout about(store.api);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    const auto labelText = [&about](const QString &name) { return about.findChild<QLabel *>(name)->text(); };
    QCOMPARE(labelText(u"lblUser"_s), shown);
    QCOMPARE(about.windowTitle(), u"A propos de"_s);
    QCOMPARE(labelText(u"lblVersion"_s), u"Version "_s + QString::fromLatin1(RENVOLIA_VERSION));
    QCOMPARE(labelText(u"lblTitle"_s), u"Renvolia d'appel"_s);
    QCOMPARE(labelText(u"lblDescription"_s),
             u"Programme le renvoi des appels de la ligne téléphonique par le modem."_s);
    QCOMPARE(labelText(u"lblDisclaimer"_s), u"© 2026 Kelvo. Tous droits réservés."_s);
    for (QLabel *label : about.findChildren<QLabel *>()) {
        const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        QVERIFY2(label->height() >= needed && (label->wordWrap() || label->width() >= label->sizeHint().width()),
                 qPrintable(label->objectName()));
    }
    QCOMPARE(overlappingWidgets(about), QString());
}

// Element 1 of a link is its address, in blue and underlined; element 0, its
// caption, opens nothing.
void TestFrmAbout::links_openTheirAddressOnly_enterCloses()
{
    RecordingXdgOpen opener;
    QVERIFY(opener.isReady());
    ScratchStore store;
    FrmAbout about(store.api);
    about.show();
    int clicked = 0;
    for (const QString &link : {u"lblWeb"_s, u"lblMail"_s}) {
        for (QLabel *element : about.findChildren<QLabel *>(link)) {
            if (element->property("index") == 1) {
                QCOMPARE(element->palette().color(QPalette::WindowText), QColor(0, 0, 255));
                QVERIFY(element->font().underline());
                QCOMPARE(element->cursor().shape(), Qt::PointingHandCursor);
            }
            QTest::mouseClick(element, Qt::LeftButton);
            ++clicked;
        }
    }
    QCOMPARE(clicked, 4);

    // A call that nothing in the form makes, started last: once it and the
    // addresses have been recorded, a call from a caption would be there too.
    const QString sentinel = u"fin du test"_s;
    ShellOpen(sentinel, u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, false);
    const QStringList expected{u"www.kelvo.example"_s, u"mailto: support@kelvo.example"_s, sentinel};
    QTRY_VERIFY(std::all_of(expected.cbegin(), expected.cend(), [&](const QString &call) { return opener.calls().contains(call); }));
    QCOMPARE(opener.calls().size(), 3);
    QVERIFY(about.isVisible());

    QTest::keyClick(&about, Qt::Key_Return); // OK is the default button
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
