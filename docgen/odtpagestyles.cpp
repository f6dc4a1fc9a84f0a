#include "odtpagestyles.h"

#include "odtnames.h"

#include <QDomElement>
#include <QSet>
#include <QVector>

using namespace OdtNames;

namespace {

const QString nnDocContent = QStringLiteral("office:document-content");
const QString nnAutoStyles = QStringLiteral("office:automatic-styles");
const QString nnBody = QStringLiteral("office:body");
const QString nnStyle = QStringLiteral("style:style");
const QString sepStyleName = QStringLiteral("PageBreakBefore");

QDomElement childElement(const QDomNode& parent, const QString& name)
{
    return parent.firstChildElement(name);
}

QDomElement autoStyles(const QDomDocument& doc)
{
    return childElement(childElement(doc, nnDocContent), nnAutoStyles);
}

} // namespace

void OdtPageStyles::read(const QDomDocument& content)
{
    separateStyleUsed = false;
    masterPageStyles.clear();
    const QDomElement styles = autoStyles(content);
    for (QDomElement style = styles.firstChildElement(nnStyle); !style.isNull();
         style = style.nextSiblingElement()) {
        const QString name = style.attribute(QStringLiteral("style:name"));
        const QString masterPage = style.attribute(QStringLiteral("style:master-page-name"));
        if (!name.isEmpty() && !masterPage.isEmpty())
            masterPageStyles.insert(name, masterPage);
    }
}

QString OdtPageStyles::separatorStyle()
{
    separateStyleUsed = true;
    return sepStyleName;
}

void OdtPageStyles::addSeparatorStyle(QDomDocument& result) const
{
    if (!separateStyleUsed)
        return;
    QDomElement root = childElement(result, nnDocContent);
    if (root.isNull())
        return;
    QDomElement styles = root.firstChildElement(nnAutoStyles);
    if (styles.isNull()) {
        // Without the style the separators would not break the page.
        styles = result.createElement(nnAutoStyles);
        root.insertBefore(styles, root.firstChildElement(nnBody));
    }
    for (QDomElement style = styles.firstChildElement(nnStyle); !style.isNull();
         style = style.nextSiblingElement(nnStyle)) {
        if (style.attribute(QStringLiteral("style:name")) == sepStyleName)
            return; // a template made from a generated document has it already
    }
    QDomElement style = result.createElement(nnStyle);
    style.setAttribute(QStringLiteral("style:name"), sepStyleName);
    style.setAttribute(QStringLiteral("style:family"), QStringLiteral("paragraph"));
    style.setAttribute(QStringLiteral("style:parent-style-name"), QStringLiteral("Standard"));
    QDomElement properties = result.createElement(QStringLiteral("style:paragraph-properties"));
    properties.setAttribute(QStringLiteral("fo:break-before"), QStringLiteral("page"));
    style.appendChild(properties);
    styles.appendChild(style);
}

void OdtPageStyles::deleteEmptySections(QDomDocument& result, const QList<QDomNode>& marks) const
{
    if (marks.isEmpty())
        return;
    QDomElement text =
        childElement(childElement(childElement(result, nnDocContent), nnBody), QStringLiteral("office:text"));
    if (text.isNull())
        return;

    // The page style each top-level node belongs to: the last switch before it.
    QVector<QDomNode> nodes;
    QVector<QString> sections;
    QString current;
    for (QDomNode child = text.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement()) {
            const QDomElement element = child.toElement();
            const QString style = element.hasAttribute(atStyleName)
                                      ? element.attribute(atStyleName)
                                      : element.attribute(QStringLiteral("table:style-name"));
            const auto found = masterPageStyles.constFind(style);
            if (found != masterPageStyles.constEnd())
                current = found.value();
        }
        nodes.append(child);
        sections.append(current);
    }

    QSet<QString> doomed;
    for (const QDomNode& mark : marks) {
        QDomNode top = mark;
        while (!top.isNull() && top.parentNode() != text)
            top = top.parentNode();
        if (top.isNull())
            continue;
        const int index = nodes.indexOf(top);
        if (index >= 0 && !sections.at(index).isEmpty())
            doomed.insert(sections.at(index));
    }
    for (int i = 0; i < nodes.size(); ++i) {
        if (doomed.contains(sections.at(i)))
            text.removeChild(nodes[i]);
    }
}
