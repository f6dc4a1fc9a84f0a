#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

// The iteration variables of the repeated blocks open at a point of a
// template, innermost last, and the external variables they give every query
// there: one int per open variable.
class IterationStack
{
public:
    bool contains(const QString& name) const { return queryVars.contains(name); }
    // Opens a variable that will take the values 1 to `count`; it holds 0
    // until the first advance().
    void open(const QString& name, int count);
    // Moves the innermost variable to its next value and returns it; past its
    // count the variable is closed and 0 returned. 0 when none is open.
    int advance();
    int depth() const { return levels.size(); }
    const QHash<QString, QVariant>& variables() const { return queryVars; }

private:
    struct Level
    {
        QString name;
        int value;
        int count;
    };
    QVector<Level> levels;
    QHash<QString, QVariant> queryVars;
};
