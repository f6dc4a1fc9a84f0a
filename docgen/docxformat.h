#pragma once

#include <memory>

class DomFormat;

// WordprocessingML for the template engine: the DomFormat of DocProc.
std::unique_ptr<DomFormat> createDocxFormat();
