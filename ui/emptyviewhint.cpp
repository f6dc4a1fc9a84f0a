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
    QPalette grey = palette();
    grey.setColor(QPalette::WindowText, grey.color(QPalette::Disabled, QPalette::Text));
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
