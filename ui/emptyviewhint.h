#pragma once

#include <QLabel>

class QAbstractItemView;

// A grey line in the middle of an empty view that says what to do first.
// It goes as soon as the view has rows and comes back when they are gone;
// clicks and drops pass through it to the view.
class EmptyViewHint : public QLabel
{
    Q_OBJECT
public:
    EmptyViewHint(QAbstractItemView* view, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void followRows();

private:
    QAbstractItemView* view;
};
