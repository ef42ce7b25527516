#pragma once

#include "RegistryApi.h"

#include <QDialog>

#include <array>

class QGridLayout;
class QLabel;
class QVBoxLayout;

// The About box: product name, version, description, registered user, legal
// notice, and the links to the maker's web site and support address. Shown
// modally; it changes nothing.
class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit FrmAbout(registry::RegistryApi &registryApi = registry::platformRegistry(), QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    QLabel *addLabel(const QString &name, const QString &text);
    QVBoxLayout *etchedSeparator();
    std::array<QLabel *, 2> addLink(const QString &name, const QString &caption, const QString &address,
                                    QGridLayout *links);
    void Form_Load();
    QString GetRegisteredUser() const;
    void lblWeb_Click(int index);
    void lblMail_Click(int index);

    registry::RegistryApi &registryApi;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblUser = nullptr;
    QLabel *lblDisclaimer = nullptr;
    std::array<QLabel *, 2> lblWeb{};
    std::array<QLabel *, 2> lblMail{};
};
