#include "emptyviewhint.h"

#include <QAbstractItemView>
#include <QEvent>

EmptyViewHint::EmptyViewHint(QAbstractItemView* view, const QString& text)
    : QLabel(text, view->viewport()), view(view)
{
    setObjectName(QStringLiteral("emptyViewHint"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(fontMetrics().height());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Grey: halfway between the view's text and its background.
    QPalette grey = view->palette();
    const QColor ink = grey.color(QPalette::Text);
    const QColor base = grey.color(QPalette::Base);
    const QColor halfway((ink.red() + base.red()) / 2, (ink.green() + base.green()) / 2,
                         (ink.blue() + base.blue()) / 2);
    grey.setColor(QPalette::Text, halfway);
    grey.setColor(QPalette::WindowText, halfway);
    setPalette(grey);

    view->viewport()->installEventFilter(this);
    setGeometry(view->viewport()->rect());
    if (QAbstractItemModel* model = view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &EmptyViewHint::followRows);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &EmptyViewHint::followRows);
        connect(model, &QAbstractItemModel::modelReset, this, &EmptyViewHint::followRows);
        connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyViewHint::followRows);
    }
    followRows();
}

bool EmptyViewHint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view->viewport() && event->type() == QEvent::Resize)
        setGeometry(view->viewport()->rect());
    return QLabel::eventFilter(watched, event);
}

void EmptyViewHint::followRows()
{
    const QAbstractItemModel* model = view->model();
    setVisible(!model || model->rowCount() == 0);
}
