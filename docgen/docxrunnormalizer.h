#pragma once

#include <QDomNode>

// Rewrites the paragraphs of a WordprocessingML part so that every command
// block stands alone in a run of its own.
//
// Word processors split text into runs at every change of formatting, at
// proofing and revision marks, and a run may hold several commands or text
// around a command. After normalising:
// - a command spread over several runs is one run with the properties of the
//   run where it begins, holding one "w:t" with the command's text; the runs
//   it covered are gone, together with their tabs, breaks and other inline
//   content inside the command, while bookmarks, proofing marks and wrappers
//   (hyperlinks, insertions...) between those runs stay where they were;
// - text before and after a command is split into sibling runs with the same
//   run properties, keeping its tabs, breaks and fields in place;
// - all other runs are left exactly as they were.
// So the template walk can treat each command as one run, execute every
// command and keep all text around it.
class DocxRunNormalizer
{
public:
    // Normalises every paragraph below `root` (text-box paragraphs included);
    // returns the number of command blocks found.
    static int normalize(const QDomNode& root);
};
