#pragma once

#include <QObject>

// Marks the text of a mask edit red while it is not a valid regular
// expression. It blocks nothing: an invalid mask can still be stored.
class RegexValidator : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

public slots:
    // The sender must be a line edit.
    void validateRegex(const QString& text);
};
