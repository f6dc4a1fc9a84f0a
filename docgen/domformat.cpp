#include "domformat.h"

DomFormat::~DomFormat() = default;

void DomFormat::readPartFacts(DomTemplatePart&, const QString&, const QStringList&, QTextCodec*) const {}

bool DomFormat::keepsBlockStart(const QDomElement&) const
{
    return false;
}

void DomFormat::beginDocument(const DomTemplate&) {}

void DomFormat::beginPart(const DomTemplatePart&, bool) {}

void DomFormat::declareNamespaces(QDomElement root, const QVector<Namespace>& namespaces)
{
    if (root.isNull())
        return;
    for (const Namespace& ns : namespaces) {
        const QString attribute = QStringLiteral("xmlns:") + ns.first;
        if (!root.hasAttribute(attribute))
            root.setAttribute(attribute, ns.second);
    }
}
