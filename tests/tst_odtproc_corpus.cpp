// Real ODT documents written by other programs, used as templates without
// commands: the result must be the same document.
#include "domutil.h"
#include "globals.h"
#include "odtproc.h"
#include "odttestsupport.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QDir>
#include <QtTest>

using namespace TestSupport;

namespace {

// The XML with attributes in name order: the DOM keeps no attribute order.
QString canonical(const QDomNode& node)
{
    QString out;
    if (node.isElement()) {
        const QDomNamedNodeMap attributes = node.attributes();
        QStringList pairs;
        for (int i = 0; i < attributes.count(); ++i)
            pairs << attributes.item(i).nodeName() + "=" + attributes.item(i).nodeValue();
        pairs.sort();
        out += "<" + node.nodeName() + " " + pairs.join(' ') + ">";
    } else if (!node.isDocument()) {
        out += node.nodeName() + ":" + node.nodeValue();
    }
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
        out += canonical(child);
    return out + "/";
}

QString canonical(const QByteArray& xml)
{
    QDomDocument doc;
    return DomUtil::parseDocument(doc, xml) ? canonical(doc) : QStringLiteral("not well-formed");
}

} // namespace

class TestOdtProcCorpus : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
    }

    void documentsWithoutCommandsComeOutUnchanged()
    {
        const QString folder = corpusDir() + "/odt";
        const QStringList names = QDir(folder).entryList({"*.odt"}, QDir::Files, QDir::Name);
        if (corpusDir().isEmpty() || names.isEmpty())
            QSKIP("no ODT corpus");
        writeTextFile(dir.path() + "/src.xml", "<doc/>");
        QHash<QString, QString> results; // template -> result
        for (const QString& name : names) {
            const QString templatePath = folder + "/" + name;
            const QString result = dir.path() + "/out/" + QFileInfo(name).completeBaseName() + "-result.odt";
            QDir().mkpath(dir.path() + "/out");
            OdtProc proc(dir.path() + "/src.xml", result, templatePath, "Queries/none", nullptr);
            QVERIFY2(proc.generateDocument(), qPrintable(name));
            results.insert(templatePath, result);

            // Every entry in its place, stored or deflated as before ("mimetype" first and stored in an ODF
            // package); every part but the walked one byte for byte, and that one the same XML.
            const QList<Odt::EntryInfo> before = Odt::entries(templatePath);
            const QList<Odt::EntryInfo> after = Odt::entries(result);
            QCOMPARE(after.size(), before.size());
            for (int i = 0; i < before.size(); ++i) {
                QCOMPARE(after.at(i).name, before.at(i).name);
                QCOMPARE(after.at(i).method, before.at(i).method);
                const QByteArray original = ZipUtil::loadFile(templatePath, before.at(i).name);
                const QByteArray copied = ZipUtil::loadFile(result, after.at(i).name);
                if (before.at(i).name == "content.xml")
                    QVERIFY2(canonical(copied) == canonical(original), qPrintable(name));
                else
                    QVERIFY2(copied == original, qPrintable(name + ": " + before.at(i).name));
            }
        }

        if (!LibreOffice::available())
            QSKIP("LibreOffice is not available");
        QStringList all = results.keys();
        all += results.values();
        const QHash<QString, QString> texts = LibreOffice::toText(all, dir.path() + "/txt");
        for (auto it = results.constBegin(); it != results.constEnd(); ++it) {
            QVERIFY2(texts.contains(it.key()) && texts.contains(it.value()), qPrintable(it.key()));
            QVERIFY2(texts.value(it.value()) == texts.value(it.key()), qPrintable(it.key()));
        }
    }
};

QTEST_GUILESS_MAIN(TestOdtProcCorpus)
#include "tst_odtproc_corpus.moc"
