#pragma once

#include <QList>
#include <QObject>

class QTimer;
class QTreeView;

// Column widths for a view whose user has not chosen any: every column as
// wide as its title and the content of the rows in sight (a long text takes
// at most half the view), the last one taking what is left. When the view is too narrow for
// all of them, the yielding columns, in the order given, give up width,
// first down to their titles and then below them, so that the others stay
// whole and in sight; only when even that is not enough does the view
// scroll. The widths follow the rows as they come and the view as it is
// resized, until the user resizes a column: from then on the widths are
// the user's.
class ColumnFitter : public QObject
{
    Q_OBJECT
public:
    ColumnFitter(QTreeView* view, const QList<int>& yieldingColumns, QObject* parent = nullptr);

    bool isFitting() const { return active; }

public slots:
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void schedule();
    void sectionResized(int section);

private:
    QTreeView* view;
    // Kept apart: the filter sees the viewport's last events while the view
    // is being destroyed, when the view must no longer be asked anything.
    QWidget* viewport;
    QList<int> yielding;
    QTimer* pending;
    bool active = true;
    bool resizing = false;
};
