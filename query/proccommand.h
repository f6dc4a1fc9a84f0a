#pragma once

#include <QMap>
#include <QRegularExpression>
#include <QString>

enum CommandType
{
    TextInsert = 0,
    TableInsert = 1,
    IterateStart = 2,
    IterateEnd = 3,
    PictureInsert = 4,
};

// One template command such as [%insert_table%query=Rows%], parsed into its
// kind and its options (keys in lower case, values as written).
class ProcCommand
{
public:
    explicit ProcCommand(const QString& blockText);

    // The block without white space, brackets and outer percent signs.
    const QString& commandText() const { return text; }
    CommandType commandType() const { return type; }
    const QMap<QString, QString>& options() const { return optionMap; }
    // A missing option reads as the empty string; hasOption tells the two apart.
    QString option(const QString& key) const { return optionMap.value(key); }
    bool hasOption(const QString& key) const { return optionMap.contains(key); }

    // Whether this is the iterate_end that closes the block of `varName`
    // (names compared without regard to case).
    bool closesBlock(const QString& varName) const;
    // The command as messages show it: its normalised text in brackets.
    QString shownText() const { return QStringLiteral("[%") + text + QStringLiteral("%]"); }

    // Whether the language knows an option word (in lower case); others are
    // stored and have no effect.
    static bool isKnownKey(const QString& key);
    // The option words of this command that the language does not know.
    QStringList unknownKeys() const;

    // A command block: an opening bracket, then characters other than an
    // opening bracket holding at least two percent signs, then a closing
    // bracket. One pattern for every template format.
    static const QString patCommandBlock;
    // The compiled pattern, created once; matching is thread-safe.
    static const QRegularExpression& blockPattern();
    // Whether `text` is exactly one command block.
    static bool isWholeBlock(const QString& text);

private:
    QString text;
    CommandType type = TextInsert;
    QMap<QString, QString> optionMap;
};
