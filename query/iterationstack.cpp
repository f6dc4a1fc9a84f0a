#include "iterationstack.h"

void IterationStack::open(const QString& name, int count)
{
    levels.append({name, 0, count});
    queryVars.insert(name, 0);
}

int IterationStack::advance()
{
    if (levels.isEmpty())
        return 0;
    Level& top = levels.last();
    ++top.value;
    if (top.value > top.count) {
        queryVars.remove(top.name);
        levels.removeLast();
        return 0;
    }
    queryVars.insert(top.name, top.value);
    return top.value;
}
