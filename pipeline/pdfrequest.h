#pragma once

#include <functional>

class PdfConverter;

// Whether a document is also made into PDF, beside it or instead of it.
enum class PdfOutput { None, Beside, Only };

// What the transformation needs to make the PDF of a document.
struct PdfRequest
{
    PdfOutput output = PdfOutput::None;
    // The converter of the calling thread; null for one of its own, started
    // for this document alone.
    PdfConverter* converter = nullptr;
    // Seconds the conversion may take; 0 for no limit.
    int timeLimitSeconds = 0;
    // Called when the document is complete and its conversion begins.
    std::function<void()> converting;
};
