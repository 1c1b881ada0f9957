#pragma once

#include <QStringList>
#include <QTest>

#include <initializer_list>

// A data table written one row a line, "tag | field | field ...": the fields (blanks around them
// trimmed) go into the one column "fields" of type QStringList.
namespace TestRows {

inline void add(std::initializer_list<const char *> lines)
{
    QTest::addColumn<QStringList>("fields");
    for (const char *line : lines) {
        QStringList fields = QString::fromUtf8(line).split(QLatin1Char('|'));
        for (QString &field : fields)
            field = field.trimmed();
        const QString tag = fields.takeFirst();
        QTest::newRow(qPrintable(tag)) << fields;
    }
}

} // namespace TestRows
