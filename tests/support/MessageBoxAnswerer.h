#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <optional>

struct SeenMessageBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers every message box that comes up while it lives, with the box's
// first button, keeping what the last one showed.
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = SeenMessageBox{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            box->buttons().constFirst()->click();
        });
        m_poll.start(10);
    }

    std::optional<SeenMessageBox> seen;

private:
    QTimer m_poll;
};
