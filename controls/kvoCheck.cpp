#include "kvoCheck.h"

#include "ControlError.h"

#include <QApplication>
#include <QCheckBox>

#include <algorithm>
#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 SystemColorFlag = 0x80000000;
constexpr quint32 PlainColorMask = 0x00FFFFFF;

// System colour index -> palette role.
constexpr std::array<QPalette::ColorRole, 0x19> SystemColorRoles = {
    QPalette::Mid,             // 0x00 scroll bars
    QPalette::Window,          // 0x01 desktop
    QPalette::Highlight,       // 0x02 active title bar
    QPalette::Window,          // 0x03 inactive title bar
    QPalette::Window,          // 0x04 menu bar
    QPalette::Base,            // 0x05 window background
    QPalette::Shadow,          // 0x06 window frame
    QPalette::WindowText,      // 0x07 menu text
    QPalette::Text,            // 0x08 window text
    QPalette::HighlightedText, // 0x09 active title text
    QPalette::Window,          // 0x0A active border
    QPalette::Window,          // 0x0B inactive border
    QPalette::Dark,            // 0x0C application workspace
    QPalette::Highlight,       // 0x0D highlight
    QPalette::HighlightedText, // 0x0E highlighted text
    QPalette::Button,          // 0x0F button face
    QPalette::Dark,            // 0x10 button shadow
    QPalette::PlaceholderText, // 0x11 disabled text
    QPalette::ButtonText,      // 0x12 button text
    QPalette::WindowText,      // 0x13 inactive title text
    QPalette::Light,           // 0x14 button highlight
    QPalette::Shadow,          // 0x15 3D dark shadow
    QPalette::Midlight,        // 0x16 3D light
    QPalette::ToolTipText,     // 0x17 tooltip text
    QPalette::ToolTipBase,     // 0x18 tooltip background
};

// System colours come from the check box class's palette, not from the
// box's own, which holds the colours applied earlier.
QColor colorFromCode(quint32 code, const QWidget *widget)
{
    if (code & SystemColorFlag) {
        const quint32 index = code & ~SystemColorFlag;
        if (index >= SystemColorRoles.size())
            throw ControlError::invalidPropertyValue();
        return QApplication::palette(widget).color(SystemColorRoles[index]);
    }
    if (code & ~PlainColorMask)
        throw ControlError::invalidPropertyValue();
    return QColor(code & 0xFF, (code >> 8) & 0xFF, (code >> 16) & 0xFF);
}

// Value and Alignment are 16-bit on the box; in that range only 0..highest is taken.
int checkedSetting(int value, int highest)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw ControlError::overflow();
    if (value < 0 || value > highest)
        throw ControlError::invalidPropertyValue();
    return value;
}

// Indexed by Value: clear, ticked, grey.
constexpr std::array<Qt::CheckState, 3> ValueStates = {Qt::Unchecked, Qt::Checked,
                                                       Qt::PartiallyChecked};

template<typename T>
T readSetting(const QVariantMap &bag, const QString &name, const T &byDefault)
{
    const auto found = bag.constFind(name);
    return found == bag.cend() ? byDefault : found->value<T>();
}

template<typename T>
void writeSetting(QVariantMap &bag, const QString &name, const T &value, const T &byDefault)
{
    if (value != byDefault)
        bag.insert(name, QVariant::fromValue(value));
}

} // namespace

kvoCheck::kvoCheck(QWidget *parent) : QWidget(parent), m_check(new QCheckBox(this))
{
    m_check->setObjectName(u"Check1"_s);
    m_check->setTristate(true);
    m_check->setAutoFillBackground(true);
    setFocusProxy(m_check);
    applyColor("BackColor", QPalette::Window, DefaultBackColor);
    applyColor("ForeColor", QPalette::WindowText, DefaultForeColor);
}

quint32 kvoCheck::BackColor() const
{
    return m_check->property("BackColor").value<quint32>();
}

void kvoCheck::setBackColor(quint32 New_BackColor)
{
    applyColor("BackColor", QPalette::Window, New_BackColor);
    emit BackColorChanged();
}

quint32 kvoCheck::ForeColor() const
{
    return m_check->property("ForeColor").value<quint32>();
}

void kvoCheck::setForeColor(quint32 New_ForeColor)
{
    applyColor("ForeColor", QPalette::WindowText, New_ForeColor);
    emit ForeColorChanged();
}

QFont kvoCheck::Font() const
{
    return m_check->font();
}

void kvoCheck::setFontObject(const QFont &New_Font)
{
    m_check->setFont(New_Font);
    emit FontChanged();
}

void kvoCheck::Refresh()
{
    repaint();
}

int kvoCheck::Alignment() const
{
    return m_check->layoutDirection() == Qt::RightToLeft ? 1 : 0;
}

void kvoCheck::setAlignment(int New_Alignment)
{
    const bool boxOnRight = checkedSetting(New_Alignment, 1) == 1;
    m_check->setLayoutDirection(boxOnRight ? Qt::RightToLeft : Qt::LeftToRight);
    emit AlignmentChanged();
}

QString kvoCheck::Caption() const
{
    return m_check->text();
}

void kvoCheck::setCaption(const QString &New_Caption)
{
    m_check->setText(New_Caption);
    emit CaptionChanged();
}

qintptr kvoCheck::hwnd() const
{
    return static_cast<qintptr>(winId());
}

int kvoCheck::Value() const
{
    const auto found = std::find(ValueStates.begin(), ValueStates.end(), m_check->checkState());
    return static_cast<int>(found - ValueStates.begin());
}

void kvoCheck::setValue(int New_Value)
{
    m_check->setCheckState(ValueStates[checkedSetting(New_Value, int(ValueStates.size()) - 1)]);
    emit ValueChanged();
}

kvoCheck &kvoCheck::operator=(int New_Value)
{
    setValue(New_Value);
    return *this;
}

void kvoCheck::InitProperties()
{
    setCaption(objectName());
}

void kvoCheck::ReadProperties(const QVariantMap &bag)
{
    setBackColor(readSetting(bag, u"BackColor"_s, DefaultBackColor));
    setForeColor(readSetting(bag, u"ForeColor"_s, DefaultForeColor));
    setFontObject(readSetting(bag, u"Font"_s, ambientFont()));
    setAlignment(readSetting(bag, u"Alignment"_s, 0));
    setCaption(readSetting(bag, u"Caption"_s, objectName()));
    setValue(readSetting(bag, u"Value"_s, 0));
}

void kvoCheck::WriteProperties(QVariantMap &bag) const
{
    writeSetting(bag, u"BackColor"_s, BackColor(), DefaultBackColor);
    writeSetting(bag, u"ForeColor"_s, ForeColor(), DefaultForeColor);
    writeSetting(bag, u"Font"_s, Font(), ambientFont());
    writeSetting(bag, u"Alignment"_s, Alignment(), 0);
    writeSetting(bag, u"Caption"_s, Caption(), u"Check1"_s);
    writeSetting(bag, u"Value"_s, Value(), 0);
}

QSize kvoCheck::sizeHint() const
{
    return m_check->sizeHint();
}

void kvoCheck::resizeEvent(QResizeEvent *event)
{
    m_check->setGeometry(0, 0, width(), height());
    QWidget::resizeEvent(event);
}

void kvoCheck::applyColor(const char *name, QPalette::ColorRole role, quint32 code)
{
    const QColor color = colorFromCode(code, m_check);
    QPalette palette = m_check->palette();
    palette.setColor(role, color);
    m_check->setPalette(palette);
    m_check->setProperty(name, code);
}

QFont kvoCheck::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}
