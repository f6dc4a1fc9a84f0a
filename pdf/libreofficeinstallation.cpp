#include "libreofficeinstallation.h"

#include <QFileInfo>
#include <QStandardPaths>

LibreOfficeInstallation LibreOfficeInstallation::find()
{
    LibreOfficeInstallation office;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    // Debian's soffice is a link to the office's program folder.
    const QString programFolder = launcher.isEmpty()
                                      ? QStringLiteral("/usr/lib/libreoffice/program")
                                      : QFileInfo(QFileInfo(launcher).canonicalFilePath()).absolutePath();
    const QFileInfo program(programFolder + QStringLiteral("/soffice.bin"));
    if (!launcher.isEmpty() && program.isExecutable())
        office.officeProgram = program.absoluteFilePath();
    else
        office.missingPackages << QStringLiteral("libreoffice-writer-nogui");

    // LibreOffice's own builds carry a Python; Debian's bridge serves the
    // system's.
    for (const QString& candidate : {programFolder + QStringLiteral("/python"), QStringLiteral("/usr/bin/python3")}) {
        if (QFileInfo(candidate).isExecutable()) {
            office.python = candidate;
            break;
        }
    }
    if (office.python.isEmpty() || !QFileInfo::exists(programFolder + QStringLiteral("/pyuno.so")))
        office.missingPackages << QStringLiteral("python3-uno");
    return office;
}

QString LibreOfficeInstallation::missingText() const
{
    if (missingPackages.isEmpty())
        return QString();
    if (missingPackages.size() > 1)
        return QStringLiteral("Для сохранения в PDF нужен LibreOffice: установите пакеты %1")
            .arg(missingPackages.join(QStringLiteral(" и ")));
    if (missingPackages.first() == QLatin1String("python3-uno"))
        return QStringLiteral("Для сохранения в PDF нужен модуль LibreOffice для Python: установите пакет python3-uno");
    return QStringLiteral("Для сохранения в PDF нужен LibreOffice: установите пакет %1").arg(missingPackages.first());
}
