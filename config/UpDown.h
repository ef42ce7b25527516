#pragma once

#include <QWidget>

class QToolButton;

// Two small arrow buttons that step a value up or down within a range; the
// owner writes the value wherever it belongs (a text box beside it).
class UpDown : public QWidget
{
    Q_OBJECT
public:
    UpDown(int minimum, int maximum, QWidget *parent = nullptr);

    int value() const;
    // Clamped to the range; emits nothing.
    void setValue(int value);

signals:
    // The user stepped the value.
    void valueStepped(int value);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void step(int by);

    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum;
    int m_maximum;
    int m_value;
};
