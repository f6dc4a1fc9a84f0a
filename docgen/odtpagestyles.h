#pragma once

#include <QDomDocument>
#include <QDomNode>
#include <QHash>
#include <QList>
#include <QString>

// The page styles of an ODT document's content: which automatic styles
// switch to a master page (a paragraph or table in such a style starts a
// page with that page style), the paragraph style that separators use to
// break the page, and the removal of the sections marked empty, a section
// being all content in one page style.
class OdtPageStyles
{
public:
    // Reads the page-style switches of the template's "content.xml".
    void read(const QDomDocument& content);
    bool switchesPage(const QString& styleName) const { return masterPageStyles.contains(styleName); }

    // The style separators give their paragraph to break the page; using it
    // has addSeparatorStyle define it.
    QString separatorStyle();
    bool separatorStyleUsed() const { return separateStyleUsed; }
    void addSeparatorStyle(QDomDocument& result) const;

    // Removes from the text of `result` every section that holds one of
    // `marks`; content before the first page-style switch always stays.
    void deleteEmptySections(QDomDocument& result, const QList<QDomNode>& marks) const;

private:
    // Automatic style name -> the master page it switches to.
    QHash<QString, QString> masterPageStyles;
    bool separateStyleUsed = false;
};
