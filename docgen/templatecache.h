#pragma once

#include <QString>

#include <memory>

class DomFormat;
class DomTemplate;
class QTextCodec;

// The templates a thread has read, kept for the documents that follow: a
// run generates hundreds of documents from a handful of templates, and each
// is read, parsed and prepared once per thread. DOM trees are not
// thread-safe, so every thread has a cache of its own and no tree is ever
// shared between threads. A template is read again when its file's
// modification time or size changes; the least recently used ones go when
// the parts held exceed the capacity.
class TemplateCache
{
public:
    // The template at `packagePath` as `format` reads it; null when it
    // cannot be read (a failure is not kept).
    static std::shared_ptr<const DomTemplate> get(const QString& packagePath, QTextCodec* codec,
                                                  const DomFormat& format);
    // The template parts read into the calling thread's cache.
    static int partCount();
    // Empties the calling thread's cache.
    static void clear();

    static constexpr int maxParts = 16;
};
