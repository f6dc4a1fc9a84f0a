#include "regexvalidator.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>

void RegexValidator::validateRegex(const QString& text)
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!edit)
        return;
    const QColor colour = QRegularExpression(text).isValid() ? QApplication::palette().color(QPalette::Text)
                                                              : QColor(Qt::red);
    QPalette palette = edit->palette();
    palette.setBrush(QPalette::Text, QBrush(colour));
    edit->setPalette(palette);
}
