#pragma once

#include <QString>
#include <QStringList>

// Where LibreOffice is, for making PDF files: the office program that runs
// as a listener, and a Python with LibreOffice's UNO bridge that drives it.
// The office is found through `soffice` on the search path, as a user would
// start it.
struct LibreOfficeInstallation
{
    // soffice.bin itself: started directly, so that it is our child and
    // dies with us (the `soffice` script would put a launcher between).
    QString officeProgram;
    QString python;
    // Debian packages still to install, empty when everything is there.
    QStringList missingPackages;

    static LibreOfficeInstallation find();
    bool isComplete() const { return missingPackages.isEmpty(); }
    // One line that says what to install, for the log, a tool tip and the
    // batch command.
    QString missingText() const;
};
