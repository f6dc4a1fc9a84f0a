#pragma once

#include <QString>

// Whether the curly braces of an RTF text pair up as groups. A word
// processor never writes anything else, but a template edited by hand or
// cut off in the middle can, and the generator would copy the fault into
// every document while reporting success.
struct RtfGroupBalance
{
    enum Fault { Balanced, ExtraClose, Unclosed };

    Fault fault = Balanced;
    // Offset of the closing brace that has no group to close (or that
    // closes the document before the end of its text), or of the opening
    // brace of the innermost group still open at the end; -1 when balanced.
    int offset = -1;

    // Escaped braces (\{ and \}) are text, and the data of \binN is
    // skipped. Only white space may follow the end of the document's group.
    static RtfGroupBalance of(const QString& text);

    bool isBalanced() const { return fault == Balanced; }
    // 1-based line and column of `offset`, lines counted by line feeds.
    int line(const QString& text) const;
    int column(const QString& text) const;
    // Where and how the balance breaks, for a message: "лишняя «}» в строке 3, позиция 14".
    QString description(const QString& text) const;
};
