#pragma once

#include <QWidget>

// The first two of a form's own controls that cover each other ("a over b"),
// as one dropped from its layout does; empty when none do.
inline QString overlappingWidgets(const QWidget &form)
{
    const QList<QWidget *> shown = form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->isVisible() && shown[j]->isVisible() && shown[i]->geometry().intersects(shown[j]->geometry()))
                return shown[i]->objectName() + QStringLiteral(" over ") + shown[j]->objectName();
        }
    }
    return {};
}
