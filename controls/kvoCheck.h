#pragma once

#include <QFont>
#include <QVariantMap>
#include <QWidget>

class QCheckBox;

// A check box control for the forms: one tristate QCheckBox ("Check1") over
// the whole area, whose state is the control's state. Setters throw
// ControlError on a refused value and leave the box as it was.
class kvoCheck : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("DefaultProperty", "Value")
    Q_CLASSINFO("BackColor", "Renvoie ou définit la couleur d'arrière-plan utilisée pour afficher le texte et les graphiques d'un objet.")
    Q_CLASSINFO("ForeColor", "Renvoie ou définit la couleur de premier plan utilisée pour afficher le texte et les graphiques d'un objet.")
    Q_CLASSINFO("Font", "Renvoie un objet Font.")
    Q_CLASSINFO("Refresh", "Force un nouvel affichage complet d'un objet.")
    Q_CLASSINFO("Alignment", "Renvoie ou définit l'alignement d'un contrôle CheckBox ou OptionButton ou le texte d'un contrôle.")
    Q_CLASSINFO("Caption", "Renvoie ou définit le texte affiché dans la barre de titre d'un objet ou sous l'icône d'un objet.")
    Q_CLASSINFO("hwnd", "Renvoie un descripteur (issu de Microsoft Windows) vers une fenêtre d'objet.")
    Q_CLASSINFO("Value", "Renvoie ou définit la valeur d'un objet.")
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor NOTIFY BackColorChanged)
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor NOTIFY ForeColorChanged)
    Q_PROPERTY(QFont Font READ Font WRITE setFontObject NOTIFY FontChanged)
    Q_PROPERTY(int Alignment READ Alignment WRITE setAlignment NOTIFY AlignmentChanged)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)
    Q_PROPERTY(qintptr hwnd READ hwnd)
    Q_PROPERTY(int Value READ Value WRITE setValue NOTIFY ValueChanged USER true)

public:
    static constexpr quint32 DefaultBackColor = 0x8000000F; // button face
    static constexpr quint32 DefaultForeColor = 0x80000012; // button text

    explicit kvoCheck(QWidget *parent = nullptr);

    quint32 BackColor() const;
    void setBackColor(quint32 New_BackColor);
    quint32 ForeColor() const;
    void setForeColor(quint32 New_ForeColor);
    QFont Font() const;
    void setFontObject(const QFont &New_Font);
    Q_INVOKABLE void Refresh();
    int Alignment() const;
    void setAlignment(int New_Alignment);
    QString Caption() const;
    void setCaption(const QString &New_Caption);
    qintptr hwnd() const;
    int Value() const;
    void setValue(int New_Value);

    operator int() const { return Value(); }
    kvoCheck &operator=(int New_Value);

    void InitProperties();
    void ReadProperties(const QVariantMap &bag);
    void WriteProperties(QVariantMap &bag) const;

    QSize sizeHint() const override;

signals:
    void BackColorChanged();
    void ForeColorChanged();
    void FontChanged();
    void AlignmentChanged();
    void CaptionChanged();
    void ValueChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyColor(const char *name, QPalette::ColorRole role, quint32 code);
    QFont ambientFont() const;

    QCheckBox *m_check;
};
