#pragma once

#include "generationlimits.h"
#include "pdfrequest.h"

#include <QString>

class RemoteJobs;
class TemplateList;

// What the steps that run queries share: where their work is done. With
// worker processes (`remote`), each item's work runs there and only its
// outcome comes back; without, in the worker thread itself.
struct QueryStepParams
{
    const TemplateList* templateList = nullptr;
    RemoteJobs* remote = nullptr;
};

// Parameters of the template detection workers.
struct DetectParams : QueryStepParams
{
    bool detectDest = false;
};

// Parameters of the destination-name workers.
struct DestBaseParams : QueryStepParams
{
};

// Parameters of the transformation workers.
struct TransformParams : QueryStepParams
{
    QString format;
    bool useDestBase = false;
    bool overwrite = false;
    bool openDocument = false;
    GenerationLimits limits;
    PdfOutput pdf = PdfOutput::None;
};
