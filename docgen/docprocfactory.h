#pragma once

#include <QString>

#include <memory>

class BaseDocProc;

// Creates the generator for an output format: "docx", "odt", anything else RTF.
std::unique_ptr<BaseDocProc> createDocProc(const QString& format, const QString& sourceFileName,
                                           const QString& destinationFileName,
                                           const QString& templateFileName, const QString& queryFolder);
