#include "odttextwriter.h"

namespace {

const QString nnSpace = QStringLiteral("text:s");
const QString nnTab = QStringLiteral("text:tab");
const QString nnLineBreak = QStringLiteral("text:line-break");
const QString atCount = QStringLiteral("text:c");

bool isXmlChar(ushort c)
{
    return c >= 0x20 ? c != 0xFFFE && c != 0xFFFF : (c == '\t' || c == '\n' || c == '\r');
}

class FragmentBuilder
{
public:
    explicit FragmentBuilder(QDomDocument doc) : doc(doc), result(doc.createDocumentFragment()) {}

    void flush()
    {
        if (pending.isEmpty())
            return;
        result.appendChild(doc.createTextNode(pending));
        pending.clear();
    }
    void addElement(const QString& name, int count = 1)
    {
        flush();
        QDomElement element = doc.createElement(name);
        if (count > 1)
            element.setAttribute(atCount, QString::number(count));
        result.appendChild(element);
    }

    QDomDocument doc;
    QDomDocumentFragment result;
    QString pending;
};

} // namespace

QDomDocumentFragment OdtTextWriter::fragment(QDomDocument doc, const QString& value)
{
    FragmentBuilder out(doc);
    // Whether a literal space written now would be kept: only right after a
    // visible character. At the start of the value the text before it (or
    // the start of the paragraph) is unknown, so spaces there are explicit.
    bool literalSpaceKept = false;
    const int size = value.size();
    for (int i = 0; i < size;) {
        const QChar c = value.at(i);
        if (c == QLatin1Char(' ')) {
            int end = i;
            while (end < size && value.at(end) == QLatin1Char(' '))
                ++end;
            const int run = end - i;
            // A run at the end is explicit too, so that a space in the
            // template text after the value is not swallowed by it.
            if (literalSpaceKept && end < size) {
                out.pending += QLatin1Char(' ');
                if (run > 1)
                    out.addElement(nnSpace, run - 1);
            } else {
                out.addElement(nnSpace, run);
            }
            literalSpaceKept = false;
            i = end;
            continue;
        }
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            out.addElement(nnLineBreak);
            if (c == QLatin1Char('\r') && i + 1 < size && value.at(i + 1) == QLatin1Char('\n'))
                ++i;
            ++i;
            literalSpaceKept = false;
            continue;
        }
        if (c == QLatin1Char('\t')) {
            out.addElement(nnTab);
            literalSpaceKept = false;
            ++i;
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < size && value.at(i + 1).isLowSurrogate()) {
            out.pending += value.midRef(i, 2);
            literalSpaceKept = true;
            i += 2;
            continue;
        }
        if (!c.isSurrogate() && isXmlChar(c.unicode())) {
            out.pending += c;
            literalSpaceKept = true;
        }
        ++i;
    }
    out.flush();
    return out.result;
}

QDomNode OdtTextWriter::append(QDomNode parent, QDomDocument doc, const QString& value)
{
    QDomDocumentFragment nodes = fragment(doc, value);
    const QDomNode last = nodes.lastChild();
    parent.appendChild(nodes);
    return last;
}

void OdtTextWriter::insertAfter(QDomNode node, QDomDocument doc, const QString& value)
{
    node.parentNode().insertAfter(fragment(doc, value), node);
}

QStringList OdtTextWriter::splitLines(const QString& value)
{
    QStringList lines = value.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

bool OdtTextWriter::isSpacingElement(const QString& name)
{
    return name == nnSpace || name == nnTab || name == nnLineBreak;
}
