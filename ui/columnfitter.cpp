#include "columnfitter.h"

#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <numeric>
#include <vector>

ColumnFitter::ColumnFitter(QTreeView* view, const QList<int>& yieldingColumns, QObject* parent)
    : QObject(parent), view(view), viewport(view->viewport()), yielding(yieldingColumns), pending(new QTimer(this))
{
    // Rows change in bursts during a run: one fit for each burst is enough.
    pending->setSingleShot(true);
    pending->setInterval(150);
    connect(pending, &QTimer::timeout, this, &ColumnFitter::fit);

    // The last column is sized here as long as the widths are ours.
    view->header()->setStretchLastSection(false);
    viewport->installEventFilter(this);
    connect(view->header(), &QHeaderView::sectionResized, this, &ColumnFitter::sectionResized);
    connect(view, &QTreeView::expanded, this, &ColumnFitter::schedule);
    connect(view, &QTreeView::collapsed, this, &ColumnFitter::schedule);
    if (QAbstractItemModel* model = view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::schedule);
    }
    fit();
}

void ColumnFitter::schedule()
{
    if (active && !pending->isActive())
        pending->start();
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event)
{
    // A resized window refits at once, so that no column is seen cut meanwhile.
    if (event->type() == QEvent::Resize && watched == viewport && active)
        fit();
    return QObject::eventFilter(watched, event);
}

void ColumnFitter::sectionResized(int)
{
    if (resizing || !active)
        return;
    active = false;
    pending->stop();
    view->header()->setStretchLastSection(true);
}

void ColumnFitter::fit()
{
    const QAbstractItemModel* model = view->model();
    const int columns = model ? model->columnCount() : 0;
    if (!active || columns == 0)
        return;
    QHeaderView* header = view->header();
    const int available = view->viewport()->width();
    // A yielding column narrowed below its title still shows its first letters.
    const int floor = qMax(header->minimumSectionSize(), 6 * view->fontMetrics().averageCharWidth());

    const int last = columns - 1;
    std::vector<int> title(columns);
    std::vector<int> width(columns);
    // The rows in sight are measured: a long list refits as quickly as a
    // short one, and as often as its rows change during a run.
    const int precision = header->resizeContentsPrecision();
    header->setResizeContentsPrecision(0);
    const QAbstractItemView* itemView = view; // the size hint is public there
    for (int column = 0; column < columns; ++column) {
        title[column] = header->sectionSizeHint(column);
        const int content = qMin(itemView->sizeHintForColumn(column), available / 2);
        width[column] = qMax(title[column], content);
    }
    header->setResizeContentsPrecision(precision);
    // First the yielding columns' content goes, to make room for the others
    // and the last column's title; then, only if that brings the other
    // columns into sight, their titles too (the headers keep them as tool
    // tips), and with them a strip of the last column if they can. The last
    // column has what is left, or where the view scrolls anyway its title.
    QList<int> usable;
    for (int column : yielding) {
        if (column >= 0 && column < last)
            usable << column;
    }
    int excess = std::accumulate(width.begin(), width.end() - 1, 0) + title[last] - available;
    const auto yieldDownTo = [&](const std::function<int(int)>& least) {
        for (int column : usable) {
            const int given = qBound(0, width[column] - least(column), qMax(0, excess));
            width[column] -= given;
            excess -= given;
        }
    };
    const auto letters = [&](int column) { return qMin(floor, title[column]); };
    yieldDownTo([&](int column) { return title[column]; });
    excess -= title[last];
    const int strip = header->minimumSectionSize();
    int belowTitles = 0;
    for (int column : usable)
        belowTitles += width[column] - letters(column);
    if (excess > 0 && belowTitles >= excess) {
        excess += strip;
        yieldDownTo(letters);
        excess -= strip;
    }
    const int left = -excess;
    width[last] = left >= strip ? left : title[last];

    resizing = true;
    for (int column = 0; column < columns; ++column) {
        if (view->columnWidth(column) != width[column])
            view->setColumnWidth(column, width[column]);
    }
    resizing = false;
}
