#pragma once

#include <QLabel>

// A one-line label that never asks for more width than its minimum and, when
// its text does not fit, shows it cut with "…" (the whole text in its tool
// tip). text() keeps the whole caption.
class ElidingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
