#include "UpDown.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QToolButton *arrowButton(Qt::ArrowType arrow, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return button;
}

} // namespace

UpDown::UpDown(int minimum, int maximum, QWidget *parent)
    : QWidget(parent)
    , m_up(arrowButton(Qt::UpArrow, u"up"_s, this))
    , m_down(arrowButton(Qt::DownArrow, u"down"_s, this))
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_value(minimum)
{
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

int UpDown::value() const
{
    return m_value;
}

void UpDown::setValue(int value)
{
    m_value = std::clamp(value, m_minimum, m_maximum);
}

// At either end of the range a step changes nothing and writes nothing.
void UpDown::step(int by)
{
    const int stepped = std::clamp(m_value + by, m_minimum, m_maximum);
    if (stepped == m_value)
        return;
    m_value = stepped;
    emit valueStepped(m_value);
}

void UpDown::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up)
        step(1);
    else if (event->key() == Qt::Key_Down)
        step(-1);
    else
        QWidget::keyPressEvent(event);
}
