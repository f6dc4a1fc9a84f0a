#include "templatelist.h"

#include "globals.h"

#include <QFile>
#include <QTextCodec>

const QString TemplateList::catalogueFileName = QStringLiteral("Templates.txt");

TemplateList::TemplateList(QObject* parent) : SimpleListContainer(parent)
{
    columnNames << QStringLiteral("Суф.") << QStringLiteral("Шаблон") << QStringLiteral("Путь запросов")
                << QStringLiteral("Запрос имени") << QStringLiteral("Запрос соответствия")
                << QStringLiteral("Преф. соответствия") << QStringLiteral("Текст ошибки");
}

SimpleItem* TemplateList::newItem() const
{
    return new TemplateItem;
}

TemplateItem* TemplateList::getItem(int index) const
{
    return static_cast<TemplateItem*>(SimpleListContainer::getItem(index));
}

int TemplateList::indexOf(const TemplateItem* item) const
{
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i) == item)
            return i;
    }
    return -1;
}

namespace {

// What makes one line of the catalogue unusable; empty when nothing does.
QStringList lineProblems(const QByteArray& line)
{
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(line.constData(), line.size(), &state);
    for (const QChar c : text) {
        if (state.invalidChars > 0 || (c.category() == QChar::Other_Control && c != QLatin1Char('\t')
                                       && c != QLatin1Char('\r')))
            return {QStringLiteral("это не текст в кодировке UTF-8")};
    }
    QStringList problems;
    const QStringList fields = text.split(QLatin1Char('\t'));
    const int neededFields = 8; // the match prefix, the ninth, may be left out
    if (fields.size() < neededFields) {
        problems << QStringLiteral("полей %1, а нужно 8 или 9, разделённых табуляцией").arg(fields.size());
    }
    const auto field = [&](int column) { return fields.value(column).simplified(); };
    if (field(0).isEmpty())
        problems << QStringLiteral("не указано имя шаблона");
    if (field(4).isEmpty())
        problems << QStringLiteral("не указан файл шаблона");
    else if (!isContainedPath(field(4)))
        problems << QStringLiteral("файл шаблона %1 вне папки Templates").arg(field(4));
    if (!field(5).isEmpty() && !isContainedPath(field(5)))
        problems << QStringLiteral("папка запросов %1 вне папки Queries").arg(field(5));
    return problems;
}

} // namespace

QStringList TemplateList::unusableLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().split('\n');
    QStringList messages;
    const int shownAtMost = 20;
    int unusable = 0;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList problems = lineProblems(line);
        if (problems.isEmpty())
            continue;
        if (++unusable <= shownAtMost) {
            messages << QStringLiteral("Ошибка! Строка %1 списка шаблонов %2 не годится: %3")
                            .arg(i + 1)
                            .arg(shownFileName(path), problems.join(QStringLiteral("; ")));
        }
    }
    if (unusable > shownAtMost)
        messages << QStringLiteral("Ошибка! В списке шаблонов %1 негодных строк ещё: %2")
                        .arg(shownFileName(path))
                        .arg(unusable - shownAtMost);
    return messages;
}
