#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// ODT packages for the tests: written in code, or as flat XML (.fodt) for
// LibreOffice to turn into real documents; and reading results back.
namespace TestSupport {
namespace Odt {

// Namespace declarations of an office document root.
QString namespaces();
// A whole content.xml with the given automatic styles and body text.
QString contentXml(const QString& body, const QString& automaticStyles = QString());
// A whole styles.xml with the given master pages and automatic styles (page layouts).
QString stylesXml(const QString& masterStyles = QString(), const QString& automaticStyles = QString());
QString manifestXml();
// A flat document for LibreOffice (soffice --convert-to odt).
QString flatXml(const QString& body, const QString& automaticStyles = QString(),
                const QString& masterStyles = QString(), const QString& commonStyles = QString());

// Writes a package: "mimetype" first and stored, then the entries deflated.
bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& entries);
// A package with the usual parts around the given content (and styles).
bool writeOdt(const QString& path, const QString& content, const QString& styles = QString());

struct EntryInfo {
    QString name;
    int method; // 0 stored, 8 deflated
};
QList<EntryInfo> entries(const QString& zipPath);

QDomDocument part(const QString& odtPath, const QString& entryName);
// The text of a node as an ODF reader shows it: white space collapsed,
// text:s as spaces, text:tab as "\t", text:line-break as "\n", paragraphs
// and headings ended by "\n"; frames and comments left out.
QString shownText(const QDomNode& node);
// The shown text of office:text in a result's content.xml.
QString bodyText(const QString& odtPath);
// Elements named `name` below `node`, in document order.
QList<QDomElement> elements(const QDomNode& node, const QString& name);

} // namespace Odt
} // namespace TestSupport
