#pragma once

#include "batchoptions.h"

#include <QString>

// plinthworks-batch --check: checks the catalogue and its templates the way
// a run would meet them, prints every command with its place and what is
// wrong, and writes the findings to the report asked for; makes no
// document and writes no other file.
class BatchCheck
{
public:
    explicit BatchCheck(const BatchOptions& options) : options(options) {}

    // The exit status: 0 no error found, 1 errors, 2 bad usage.
    int run();

private:
    bool writeReport(const QString& text) const;

    BatchOptions options;
};
