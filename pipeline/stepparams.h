#pragma once

#include "generationlimits.h"

#include <QString>

class TemplateList;

// Parameters of the template detection workers.
struct DetectParams
{
    const TemplateList* templateList = nullptr;
    bool detectDest = false;
};

// Parameters of the transformation workers.
struct TransformParams
{
    QString format;
    bool useDestBase = false;
    bool overwrite = false;
    bool openDocument = false;
    GenerationLimits limits;
};
