#pragma once

#include <QtGlobal>

// Bounds on the work one document may ask for. Templates and data come from
// users, so a count query or a picture could otherwise make a worker run for
// ever or take all the memory. The batch command sets them from its options;
// the main window takes the defaults.
struct GenerationLimits
{
    // Highest number of repetitions of one repeated block.
    int maxRepeat = 100000;
    // Largest picture, in pixels (width times height), that is inserted.
    qint64 maxPicturePixels = 50000000;
    // Whether a picture may come from outside the source file's folder. A
    // picture's name comes from the data, which often comes from outside;
    // "../../home/user/passport.jpg" would put any picture the user can read
    // into a document that may then be sent out.
    bool picturesOutsideSource = false;
};
