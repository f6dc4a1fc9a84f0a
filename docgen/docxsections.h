#pragma once

#include <QDomDocument>
#include <QDomNode>
#include <QList>

// Repairs of a walked WordprocessingML part: the removal of the sections
// that commands marked empty, and the paragraphs that Word requires at the
// end of cells and text boxes.
class DocxSections
{
public:
    // Removes from the body of `result` each section that holds one of
    // `marks`, unless that would remove them all; a document with a single
    // section is never changed.
    static void deleteEmptySections(QDomDocument& result, const QList<QDomNode>& marks);
    // Gives every table cell that does not end with a paragraph, and every
    // text box without one, an empty paragraph at its end.
    static void closeCellsAndTextBoxes(QDomDocument& result);
};
