#include "FrmAbout.h"

#include "ShellOpen.h"
#include "VersionInfo.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <cstdint>
#include <string>

using namespace Qt::StringLiterals;

namespace {

// The form was drawn 5730 twips wide, 15 twips to a pixel.
constexpr int kFormWidth = 5730 / 15;

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
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"A propos de"_s);
    setFont(formFont());
    buildControls();
    Form_Load();
}

// The logo stands left of the product's lines, never under them, so nothing
// overlaps at any scale; the layout sizes the form to its texts.
void FrmAbout::buildControls()
{
    auto *logo = new QLabel(this);
    logo->setObjectName(u"imgLogo"_s);
    logo->setPixmap(QPixmap(u":/about/kelvo-logo.png"_s));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblTitle = addLabel(u"lblTitle"_s, u"Application Title"_s);
    lblVersion = addLabel(u"lblVersion"_s, u"Version"_s);
    lblDescription = addLabel(u"lblDescription"_s, {});
    for (QLabel *label : {lblTitle, lblVersion, lblDescription})
        label->setFont(boldFont());
    for (QLabel *label : {lblTitle, lblDescription})
        setTextColour(label, Qt::black);
    lblUser = addLabel(u"lblUser"_s, {});
    lblDisclaimer = addLabel(u"lblDisclaimer"_s, {});
    setTextColour(lblDisclaimer, Qt::black);

    auto *cmdOK = new QPushButton(u"OK"_s, this);
    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setDefault(true);
    cmdOK->setMinimumWidth(1260 / 15);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *links = new QGridLayout;
    lblWeb = addLink(u"lblWeb"_s, u"Web:"_s, u"www.kelvo.example"_s, links);
    lblMail = addLink(u"lblMail"_s, u"Mail:"_s, u"support@kelvo.example"_s, links);

    auto *product = new QVBoxLayout;
    product->addWidget(lblTitle);
    product->addWidget(lblVersion);
    product->addWidget(lblDescription);
    product->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    top->addLayout(product, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(links);
    bottom->addStretch();
    bottom->addWidget(cmdOK, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblUser);
    layout->addLayout(etchedSeparator());
    layout->addWidget(lblDisclaimer);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(kFormWidth);
}

QLabel *FrmAbout::addLabel(const QString &name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// Grey over white: an etched separator.
QVBoxLayout *FrmAbout::etchedSeparator()
{
    auto *lines = new QVBoxLayout;
    lines->setSpacing(0);
    for (const auto &[index, colour] : {std::pair{1, QColor(128, 128, 128)}, std::pair{0, QColor(Qt::white)}}) {
        auto *line = new QWidget(this);
        line->setObjectName(u"Line1"_s);
        line->setProperty("index", index);
        line->setFixedHeight(index == 0 ? 2 : 1);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, colour);
        line->setPalette(palette);
        lines->addWidget(line);
    }
    return lines;
}

// Element 0 of a link array is its fixed caption, element 1 the address that
// the link opens.
std::array<QLabel *, 2> FrmAbout::addLink(const QString &name, const QString &caption, const QString &address,
                                          QGridLayout *links)
{
    const std::array<QLabel *, 2> elements{addLabel(name, caption), addLabel(name, address)};
    const int row = links->rowCount();
    for (int index : {0, 1}) {
        elements[index]->setProperty("index", index);
        elements[index]->installEventFilter(this);
        links->addWidget(elements[index], row, index);
    }
    setTextColour(elements[0], Qt::black);
    QLabel *link = elements[1];
    setTextColour(link, QColor(0, 0, 255));
    link->setFont(linkFont());
    link->setCursor(Qt::PointingHandCursor);
    link->setWordWrap(false);
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
