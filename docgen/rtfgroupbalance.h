#pragma once

#include <QString>

// Where the curly braces of the RTF groups in `text` stop balancing, or -1
// when they balance: the offset of a closing brace that closes no open
// group, or that closes the document's outermost group while more than
// white space follows; otherwise, when groups are still open at the end,
// of the innermost of them. Escaped braces and backslashes (\{, \}, \\) are
// text, and the data of \binN is skipped, whatever bytes it holds.
int rtfGroupBalanceBreak(const QString& text);
