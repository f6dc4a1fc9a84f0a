#pragma once

#include <QString>

class QTextCodec;

// The text a reader of an RTF fragment sees: control words and groups of
// ignorable destinations (bookmarks, field codes) removed, the space that
// ends a control word dropped with it, line breaks of the file ignored, and
// characters written as \'hh (a byte in `codec`) or \uN decoded. \par and
// \line give a line feed, \tab a tab. Used to show commands as the author
// typed them, not to read them: generation reads the raw text (see
// RtfProc::commandTextOf).
QString rtfVisibleText(const QString& rtf, QTextCodec* codec);
