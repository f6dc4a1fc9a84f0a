#pragma once

#include <QString>

struct TemplateCheckResult;

// What the words of each command alone tell, in any format: an empty
// command, words the language does not know, spaces that parsing drops, a
// block that ran on to a later "]", options that only a block start takes,
// a block without a variable or a count query, a table or a picture
// without a query.
class CommandWordsCheck
{
public:
    static void check(TemplateCheckResult& result);

    // Why text of a paragraph that starts with "[%" and was found in no
    // command block is no command; `rest` is the paragraph from there on.
    static QString strayCommandMessage(const QString& rest);
};
