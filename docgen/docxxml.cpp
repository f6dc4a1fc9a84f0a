#include "docxxml.h"

#include <QDomDocument>
#include <QDomText>
#include <QStringList>

namespace DocxXml {

bool isHeaderFooterEntry(const QString& entryName)
{
    static const QRegularExpression reHeaderFooter(QRegularExpression::anchoredPattern(patHeaderFooter));
    return reHeaderFooter.match(entryName).hasMatch();
}

bool isNotesEntry(const QString& entryName)
{
    static const QRegularExpression reNotes(QRegularExpression::anchoredPattern(patNotes));
    return reNotes.match(entryName).hasMatch();
}

QString runText(const QDomElement& run)
{
    QString text;
    for (QDomElement t = run.firstChildElement(nnText); !t.isNull(); t = t.nextSiblingElement(nnText))
        text += t.text();
    return text;
}

QString paragraphText(const QDomElement& paragraph)
{
    QString text;
    forEachOwnRun(paragraph, [&text](const QDomElement& run) { text += runText(run); });
    return text;
}

QDomElement paragraphOf(const QDomNode& node)
{
    for (QDomNode current = node; !current.isNull(); current = current.parentNode()) {
        if (current.nodeName() == nnPar)
            return current.toElement();
    }
    return QDomElement();
}

bool needsPreserve(const QString& text)
{
    return !text.isEmpty() && (text.at(0).isSpace() || text.at(text.size() - 1).isSpace());
}

void setText(QDomElement textElement, const QString& text)
{
    while (textElement.hasChildNodes())
        textElement.removeChild(textElement.firstChild());
    if (!text.isEmpty())
        textElement.appendChild(textElement.ownerDocument().createTextNode(text));
    if (needsPreserve(text) && !textElement.hasAttribute(attrSpace))
        textElement.setAttribute(attrSpace, QStringLiteral("preserve"));
}

void setTextWithBreaks(QDomElement textElement, const QString& value)
{
    if (!value.contains(QLatin1Char('\n'))) {
        setText(textElement, value);
        return;
    }
    const QStringList lines = value.split(QLatin1Char('\n'));
    setText(textElement, lines.first());
    QDomDocument doc = textElement.ownerDocument();
    QDomNode run = textElement.parentNode();
    QDomNode after = textElement;
    for (int i = 1; i < lines.size(); ++i) {
        after = run.insertAfter(doc.createElement(nnBreak), after);
        QDomElement t = textElement.cloneNode(false).toElement();
        setText(t, lines.at(i));
        after = run.insertAfter(t, after);
    }
}

} // namespace DocxXml
