#pragma once

#include "commandisolation.h"

#include <memory>

// The text of a WordprocessingML paragraph in its runs' "w:t" elements, and
// how a command block becomes a run of its own:
// - a command spread over several runs is one run with the properties of the
//   run where it begins, holding one "w:t" with the command's text; the runs
//   it covered are gone, together with their tabs, breaks and other inline
//   content inside the command, while bookmarks, proofing marks and wrappers
//   (hyperlinks, insertions...) between those runs stay where they were;
// - text before and after a command is split into sibling runs with the same
//   run properties, keeping its tabs, breaks and fields in place;
// - all other runs are left exactly as they were.
std::unique_ptr<CommandIsolation::ParagraphPieces> createDocxRunPieces();
