#pragma once

#include <QWidget>

// The configuration window the program opens when started without arguments.
class FrmConfig : public QWidget
{
    Q_OBJECT
public:
    explicit FrmConfig(QWidget *parent = nullptr);
};
