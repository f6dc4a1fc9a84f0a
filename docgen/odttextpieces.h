#pragma once

#include "commandisolation.h"

#include <memory>

// The text of an ODF paragraph or heading in its text nodes (those of its
// spans, links and other text elements included, not those of nested
// paragraphs, notes or frames), and how a command block becomes a text node
// of its own: a command spread over several text nodes is merged into the
// first of them; what lies between its first and last text node (the rest
// of the spans, bookmarks, spaces written as elements) is dropped with it;
// the text before and after it stays where it was, in text nodes of its own.
std::unique_ptr<CommandIsolation::ParagraphPieces> createOdtTextPieces();
