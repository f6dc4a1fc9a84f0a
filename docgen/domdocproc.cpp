#include "domdocproc.h"

#include "domutil.h"
#include "proccommand.h"

bool DomDocProc::findIterateEndBlock(QDomNode& blockFirst, QDomNode& blockLast, const QString& varName,
                                     const QDomNode& start, const QDomNode& end)
{
    QDomNode node = start;
    while (!node.isNull() && node != end) {
        QDomNode first;
        QDomNode last;
        const QString text = findCommandBlock(first, last, node, end);
        if (text.isEmpty())
            break;
        const ProcCommand command(text);
        if (command.closesBlock(varName)) {
            blockFirst = first;
            blockLast = last;
            return true;
        }
        node = DomUtil::nextLastNode(last);
    }
    reportError(QStringLiteral("Ошибка структуры шаблона: для блока итераций с переменной %1 не найден его конец")
                    .arg(varName),
                QString());
    blockFirst = QDomNode();
    blockLast = QDomNode();
    return false;
}
