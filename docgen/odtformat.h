#pragma once

#include <memory>

class DomFormat;

// OpenDocument text for the template engine: the DomFormat of OdtProc.
std::unique_ptr<DomFormat> createOdtFormat();
