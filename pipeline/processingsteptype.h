#pragma once

#include <QMetaType>

// The steps of a processing run, in execution order.
enum ProcessingStepType {
    psNone = 0,
    psUnzip = 1,
    psDetectTemplate = 2,
    psDetectDestBase = 3,
    psTransform = 4,
};

Q_DECLARE_METATYPE(ProcessingStepType)
