#include "FrmAbout.h"

#include "ShellOpen.h"
#include "VersionInfo.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cstdint>
#include <string>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTwipsPerPixel = 15;

int pixels(int twips)
{
    return qRound(twips / double(kTwipsPerPixel));
}

QRect fromTwips(const QRect &twips)
{
    return {pixels(twips.x()), pixels(twips.y()), pixels(twips.width()), pixels(twips.height())};
}

QFont formFont()
{
    QFont font(u"MS Sans Serif"_s);
    font.setPointSizeF(8.25);
    return font;
}

QFont boldFont()
{
    QFont font = formFont();
    font.setBold(true);
    return font;
}

QFont linkFont()
{
    QFont font = formFont();
    font.setUnderline(true);
    return font;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void openLink(const QString &target)
{
    ShellOpen(target, u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, false);
}

const std::string kUserInfoKey = ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info";
constexpr std::uint32_t kUserNameBufferSize = 255;

} // namespace

FrmAbout::FrmAbout(registry::RegistryApi &registryApi, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , registryApi(registryApi)
    , picture(u":/about/kelvo-logo.png"_s)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"A propos de"_s);
    setFont(formFont());
    setFixedSize(fromTwips({0, 0, 5730, 3840}).size());
    buildControls();
    Form_Load();
}

void FrmAbout::buildControls()
{
    lblTitle = addLabel(u"lblTitle"_s, u"Application Title"_s, {690, 240, 4845, 480});
    lblVersion = addLabel(u"lblVersion"_s, u"Version"_s, {690, 780, 4965, 225});
    lblDescription = addLabel(u"lblDescription"_s, {}, {690, 1125, 4845, 780});
    for (QLabel *label : {lblTitle, lblVersion, lblDescription})
        label->setFont(boldFont());
    for (QLabel *label : {lblTitle, lblDescription})
        setTextColour(label, Qt::black);
    lblUser = addLabel(u"lblUser"_s, {}, {120, 2040, 5565, 315});

    // White under grey: an etched separator.
    addLine(0, Qt::white, {0, 2640, 5549, 30});
    addLine(1, QColor(128, 128, 128), {0, 2640, 5564, 15});

    lblDisclaimer = addLabel(u"lblDisclaimer"_s, {}, {240, 2760, 3870, 345});
    setTextColour(lblDisclaimer, Qt::black);

    auto *cmdOK = new QPushButton(u"OK"_s, this);
    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setGeometry(fromTwips({4200, 3120, 1260, 345}));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    lblWeb = addLink(u"lblWeb"_s, u"Web:"_s, u"www.kelvo.example"_s, {210, 3120, 495, 255}, {810, 3120, 2175, 255});
    lblMail = addLink(u"lblMail"_s, u"Mail:"_s, u"support@kelvo.example"_s, {210, 3480, 495, 255},
                      {810, 3480, 1335, 255});
}

QLabel *FrmAbout::addLabel(const QString &name, const QString &text, const QRect &twips)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(fromTwips(twips));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

void FrmAbout::addLine(int index, const QColor &colour, const QRect &twips)
{
    auto *line = new QWidget(this);
    line->setObjectName(u"Line1"_s);
    line->setProperty("index", index);
    line->setGeometry(fromTwips(twips));
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
}

// Element 0 of a link array is its fixed caption, element 1 the address that
// the link opens.
std::array<QLabel *, 2> FrmAbout::addLink(const QString &name, const QString &caption, const QString &address,
                                          const QRect &captionTwips, const QRect &addressTwips)
{
    const std::array<QLabel *, 2> elements{addLabel(name, caption, captionTwips),
                                           addLabel(name, address, addressTwips)};
    for (int index : {0, 1}) {
        elements[index]->setProperty("index", index);
        elements[index]->installEventFilter(this);
    }
    setTextColour(elements[0], Qt::black);
    QLabel *link = elements[1];
    setTextColour(link, QColor(0, 0, 255));
    link->setFont(linkFont());
    link->setCursor(Qt::PointingHandCursor);
    // The address is ours and may be longer than the room the layout gives it.
    link->setWordWrap(false);
    link->resize(qMax(link->width(), link->sizeHint().width()), link->height());
    return elements;
}

void FrmAbout::Form_Load()
{
    lblVersion->setText(
        u"Version %1.%2.%3"_s.arg(VersionInfo::kMajor).arg(VersionInfo::kMinor).arg(VersionInfo::kRevision));
    lblTitle->setText(VersionInfo::kProductName);
    lblDescription->setText(VersionInfo::kFileDescription);
    lblDisclaimer->setText(VersionInfo::kLegalNotice);
    lblUser->setText(GetRegisteredUser());
}

// A name that needs more than the 255-byte buffer, terminator included,
// cannot be read and leaves the line blank.
QString FrmAbout::GetRegisteredUser() const
{
    registry::Key key = 0;
    if (registryApi.openKey(registry::Users, kUserInfoKey, registry::QueryValue, &key) != registry::Success)
        return {};
    std::string buffer(kUserNameBufferSize, '\0');
    std::uint32_t size = kUserNameBufferSize;
    const registry::Result read =
        registryApi.queryValue(key, "DefName", nullptr, reinterpret_cast<std::uint8_t *>(buffer.data()), &size);
    registryApi.closeKey(key);
    if (read != registry::Success)
        return {};
    buffer.resize(std::min<std::size_t>(buffer.find('\0'), size));
    return QString::fromStdString(registryApi.fromSystemText(buffer));
}

void FrmAbout::lblWeb_Click(int index)
{
    if (index == 1)
        openLink(lblWeb[1]->text());
}

void FrmAbout::lblMail_Click(int index)
{
    if (index == 1)
        openLink(u"mailto: "_s + lblMail[1]->text());
}

void FrmAbout::paintEvent(QPaintEvent *event)
{
    QPainter(this).drawPixmap(0, 0, picture);
    QDialog::paintEvent(event);
}

bool FrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (int index : {0, 1}) {
            if (watched == lblWeb[index])
                lblWeb_Click(index);
            else if (watched == lblMail[index])
                lblMail_Click(index);
        }
    }
    return QDialog::eventFilter(watched, event);
}
